% test_build_plugins (SOURCE_DIR, WORKDIR): runs build_plugins from inside
% Octave, as a user would, into WORKDIR, and checks the plug-ins it built
% there, and that they give the results of those in REFERENCE_DIR to the
% bit.  Also checks that the build leaves nothing in the current folder.
% Ends with an error on failure.
function test_build_plugins (source_dir, workdir, reference_dir)
  confirm_recursive_rmdir (false);
  if (isfolder (workdir))
    rmdir (workdir, "s");
  end
  mkdir (workdir);
  here = fullfile (workdir, "cwd");
  mkdir (here);
  cd (here);
  addpath (source_dir);
  folder = build_plugins (fullfile (workdir, "mex"));
  assert (numel (dir (here)), 2, "build_plugins left files in the current folder");
  addpath (folder);
  check_plugin_folder (folder);
  check_same_results (reference_dir);
end
