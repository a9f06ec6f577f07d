% test_cmake_install (CMAKE, BUILD_DIR, INSTALL_SUBDIR, WORKDIR, TOOLBOX_DIR):
% runs `cmake --install BUILD_DIR` into the fresh prefix WORKDIR, adds the
% folder INSTALL_SUBDIR under it to the path as a user would, and checks the
% plug-ins there and the toolbox functions.  Ends with an error on failure.
function test_cmake_install (cmake, build_dir, install_subdir, workdir, toolbox_dir)
  confirm_recursive_rmdir (false);
  if (isfolder (workdir))
    rmdir (workdir, "s");
  end
  status = system (sprintf ('"%s" --install "%s" --prefix "%s"', cmake, build_dir, workdir));
  assert (status, 0);
  folder = fullfile (workdir, install_subdir);
  addpath (folder);
  check_plugin_folder (folder);
  check_toolbox_installed (toolbox_dir, folder);
end
