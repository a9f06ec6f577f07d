% run_checks (SUITE, CHECKS, NAMES): runs each function handle of the cell
% CHECKS, printing PASS or FAIL with NAMES{k} (default: the handle's name),
% then "N passed, N failed"; ends with an error naming SUITE if any failed.
function run_checks (suite, checks, names)
  if (nargin < 3)
    names = cellfun (@func2str, checks, "UniformOutput", false);
  end
  failures = 0;
  for k = 1:numel (checks)
    try
      checks{k} ();
      printf ("PASS %s\n", names{k});
    catch err
      failures += 1;
      printf ("FAIL %s: %s\n", names{k}, err.message);
    end
  end
  printf ("%d passed, %d failed\n", numel (checks) - failures, failures);
  if (failures > 0)
    error ("%s: %d check(s) failed", suite, failures);
  end
end
