% check_same_results (REFERENCE_DIR): the plug-ins now on the path give, to
% the bit, the results of those in REFERENCE_DIR (the CMake build) on a fixed
% chain through all six: another build route must not change a result.
function check_same_results (reference_dir)
  names = {"kelvadra", "ardavlek", "tormissa", "pundrel", "vostrane", "jebbinor"};
  here = run_chain ();
  clear (names{:});
  addpath (reference_dir);
  unwind_protect
    reference = run_chain ();
    assert (canonicalize_file_name (fileparts (which ("kelvadra"))),
            canonicalize_file_name (reference_dir));
  unwind_protect_cleanup
    rmpath (reference_dir);
    clear (names{:});
  end_unwind_protect
  assert (numel (here), numel (reference));
  for k = 1:numel (here)
    assert (size (here{k}), size (reference{k}));
    assert (all (typecast (here{k}(:), "uint64") == typecast (reference{k}(:), "uint64")),
            "result %d differs from the reference build", k);
  end
  printf ("%d results identical to the bit to those of %s\n", numel (here), reference_dir);
end

function r = run_chain ()
  [i, j] = ndgrid (1:48, 1:45);
  X = 60 * sin (i / 5) .* cos (j / 7) + 9 * mod (i .* j, 13) + i / 3;
  r = {};
  for level = 0:2
    [L, H, V, D] = kelvadra (X, level);
    r = [r, {L, H, V, D, ardavlek(L, H, V, D, level)}];
  end
  [~, H2, ~, ~] = kelvadra (X, 2);
  mask = tormissa (H, 8);
  m1 = pundrel (mask, H);
  e1 = vostrane (mask, H, H2, 1);
  LR = 1 + mod (0:40, 7) / 3;
  PR = 1 ./ (1 + (0:30) / 4);
  r = [r, {mask, m1, e1, jebbinor(H, H2, LR, PR, 2, 0.37)}];
end
