% check_plugin_folder (FOLDER): checks a folder of built plug-ins the way a
% user meets it after addpath or pkg load: each of the six names calls the
% oct-file or MEX file in FOLDER, `help NAME` shows the text of the help file
% beside it, its demos run,
% and the tests in that help file pass (results, messages and error
% identifiers, with all six plug-ins loaded in one session).  Ends with an
% error if a check fails.
function check_plugin_folder (folder)
  names = {"kelvadra", "ardavlek", "tormissa", "pundrel", "vostrane", "jebbinor"};
  folder = canonicalize_file_name (folder);
  checks = cell (size (names));
  for k = 1:numel (names)
    name = names{k};
    checks{k} = @() check_one (folder, name);  % made here, where check_one is seen
  end
  run_checks (sprintf ("check_plugin_folder (%s)", folder), checks, names);
end

function check_one (folder, name)
  % The plug-in is an oct-file (Octave's native build) or a MEX file.
  binary = fullfile (folder, [name ".oct"]);
  if (! isfile (binary))
    binary = fullfile (folder, [name ".mex"]);
  end
  helpfile = fullfile (folder, [name ".m"]);
  assert (isfile (binary), "%s is missing", binary);
  assert (isfile (helpfile), "%s is missing", helpfile);
  assert (canonicalize_file_name (which (name)), binary);
  % The help text is the first comment block of the help file.
  text = evalc (sprintf ("help %s", name));
  h1 = strtok (fileread (helpfile), "\n");
  assert (! isempty (strfind (text, strtrim (h1(2:end)))), "help %s lacks '%s'", name, h1);
  assert (! isempty (strfind (text, "See also")), "help %s has no see-also line", name);
  if (! isempty (strfind (fileread (helpfile), "%!demo")))
    shown = evalc (sprintf ("demo %s", name));
    assert (isempty (strfind (shown, ": failed")), "demo %s failed:\n%s", name, shown);
  end
  [passed, total] = test (helpfile, "quiet");
  assert (total > 0, "%s has no tests", helpfile);
  assert (passed == total, "%d of the %d tests in %s failed", total - passed, total, helpfile);
end
