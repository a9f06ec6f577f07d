% test_package (TARBALL, WORKDIR, TOOLBOX_DIR, REFERENCE_DIR): installs the
% package TARBALL with pkg under WORKDIR (never into the user's or the
% system's packages) and loads it; checks that `help kelvadra` shows the help
% text, that every plug-in runs with its help file beside it
% (check_plugin_folder), that every function of TOOLBOX_DIR (when it exists)
% is available, that `pkg test` passes and that the results equal those of the
% plug-ins in REFERENCE_DIR to the bit; then uninstalls and checks that
% nothing is left.  Ends with an error if a check fails.
function test_package (tarball, workdir, toolbox_dir, reference_dir)
  confirm_recursive_rmdir (false);
  if (isfolder (workdir))
    rmdir (workdir, "s");
  end
  mkdir (workdir);
  % .m files and MEX files in separate trees, as in a system-wide install.
  pkg ("prefix", fullfile (workdir, "share"), fullfile (workdir, "lib"));
  pkg ("local_list", fullfile (workdir, "local_packages"));
  pkg ("global_list", fullfile (workdir, "global_packages"));

  pkg ("install", "-local", tarball);
  pkg ("load", "waveprob");
  info = pkg ("list", "waveprob");
  info = info{1};
  assert (info.loaded);

  text = evalc ("help kelvadra");
  printf ("%s", text);
  assert (! isempty (strfind (text, "[LOWPASS, HOR_DETAIL, VER_DETAIL, DIAG_DETAIL] = kelvadra(ARRAY_IN, SCALE)")));

  % The help files sit beside the MEX files, none is left in the folder of
  % the .m files, where it could shadow its plug-in.
  archdir = fileparts (which ("kelvadra"));
  assert (! strcmp (canonicalize_file_name (archdir), canonicalize_file_name (info.dir)));
  assert (isempty (dir (fullfile (info.dir, "kelvadra.m"))));
  check_plugin_folder (archdir);

  % The denoising functions come with the package.
  check_toolbox_installed (toolbox_dir, info.dir);

  % pkg test runs the tests of the installed files; it writes its log to the
  % current folder.
  here = pwd ();
  cd (workdir);
  report = evalc ("pkg ('test', 'waveprob')");
  cd (here);
  printf ("%s", report);
  passed = str2double (regexp (report, '\n\s*PASS\s+(\d+)', "tokens", "once"));
  failed = str2double (regexp (report, '\n\s*FAIL\s+(\d+)', "tokens", "once"));
  assert (passed > 0 && failed == 0, "pkg test: %d passed, %d failed", passed, failed);

  check_same_results (reference_dir);

  pkg ("unload", "waveprob");
  pkg ("uninstall", "-local", "waveprob");
  assert (isempty (pkg ("list")));
  assert (! isfolder (info.dir) && ! isfolder (info.archprefix));
  assert (isempty (which ("kelvadra")));
  printf ("package installed, loaded, tested and uninstalled\n");
end
