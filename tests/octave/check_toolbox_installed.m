% check_toolbox_installed (TOOLBOX_DIR, FOLDER): every function of the
% source folder TOOLBOX_DIR (its top-level .m files), if that folder exists,
% is on the path from FOLDER.
function check_toolbox_installed (toolbox_dir, folder)
  if (! isfolder (toolbox_dir))
    return;
  end
  folder = canonicalize_file_name (folder);
  files = dir (fullfile (toolbox_dir, "*.m"));
  for k = 1:numel (files)
    [~, name] = fileparts (files(k).name);
    where = canonicalize_file_name (which (name));
    assert (strncmp (where, [folder filesep], numel (folder) + 1),
            "%s is not taken from %s (but from '%s')", name, folder, where);
  end
  printf ("%d toolbox function(s) found in %s\n", numel (files), folder);
end
