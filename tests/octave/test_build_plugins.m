% test_build_plugins (SOURCE_DIR, WORKDIR, REFERENCE_DIR): runs build_plugins
% from inside Octave, as a user would, in the current folder WORKDIR with the
% relative output folder "mex"; checks that the build leaves nothing else in
% the current folder, checks the plug-ins it built, and that they give the
% results of those in REFERENCE_DIR to the bit.  Ends with an error on
% failure.
function test_build_plugins (source_dir, workdir, reference_dir)
  confirm_recursive_rmdir (false);
  if (isfolder (workdir))
    rmdir (workdir, "s");
  end
  mkdir (workdir);
  cd (workdir);
  addpath (source_dir);
  folder = build_plugins ("mex");
  assert (canonicalize_file_name (folder), canonicalize_file_name (fullfile (workdir, "mex")));
  left = setdiff ({dir(workdir).name}, {".", "..", "mex"});
  assert (isempty (left), "build_plugins left %s in the current folder", strjoin (left, ", "));
  addpath (folder);
  check_plugin_folder (folder);
  check_same_results (reference_dir);
end
