% Host tests of the six plug-ins in GNU Octave: loading by name, results,
% messages and errors by identifier.  Ends with an error if any check fails.
function test_plugins ()
  checks = { @check_round_trip, @check_count_messages, @check_errors_by_identifier, ...
             @check_statistics_chain, @check_inputs_unchanged };
  run_checks ("test_plugins", checks);
end

function check_round_trip ()
  rand ("seed", 1); randn ("seed", 1);
  for level = 0:4
    t = 2 ^ level;
    X = randn (3 * t + 37, 3 * t + 41);
    [L, H, V, D] = kelvadra (X, level);
    Y = ardavlek (L, H, V, D, level);
    inner_rows = 3 * t + 1 : rows (X) - 2 * t;
    inner_cols = 3 * t + 1 : columns (X) - 2 * t;
    err = max (max (abs (Y(inner_rows, inner_cols) - X(inner_rows, inner_cols))));
    assert (err < 1e-12, "level %d: reconstruction error %g", level, err);
    assert (size (Y), size (X));
  end
  % SCALE is truncated toward zero: 1.9 is level 1.
  X = magic (12);
  [a, b, c, d] = kelvadra (X, 1.9);
  [e, f, g, h] = kelvadra (X, 1);
  assert (isequal (a, e) && isequal (b, f) && isequal (c, g) && isequal (d, h));
end

% Calls f with nout outputs requested and the given inputs; expects an error.
function expect_error (nout, f, args, message, identifier)
  try
    if (nout == 0)
      f (args{:});
    else
      out = cell (1, nout);
      [out{:}] = f (args{:});
    end
  catch err
    assert (err.message, message);
    if (nargin > 4)
      assert (err.identifier, identifier);
    end
    return;
  end
  error ("no error raised; expected '%s'", message);
end

function check_count_messages ()
  X = rand (8);
  expect_error (0, @kelvadra, {X, 0}, ...
    "kelvadra: kelvadra requires four output arguments [LOWPASS HOR_DETAIL VER_DETAIL DIAG_DETAIL].");
  expect_error (4, @kelvadra, {X}, ...
    "kelvadra: kelvadra requires two input arguments [ARRAY_IN SCALE]");
  expect_error (1, @ardavlek, {X, X, X, X}, ...
    "ardavlek: ardavlek requires five input arguments [LOWPASS HOR_DETAIL VER_DETAIL DIAG_DETAIL SCALE]");
  expect_error (2, @ardavlek, {X, X, X, X}, ...
    "ardavlek: ardavlek requires one  output argument [ARRAY_OUT].");
  expect_error (1, @tormissa, {X}, ...
    "tormissa: tormissa requires two input arguments [ARRAY_IN THRESHOLD]");
  expect_error (1, @pundrel, {X}, ...
    "pundrel: program requires two input arguments [SECTOR_BIN DETAIL]");
  expect_error (2, @pundrel, {X, X}, ...
    "pundrel: program requires one  output argument [ARRAY_OUT].");
  expect_error (1, @vostrane, {X, X, X}, ...
    "vostrane: vostrane requires four input arguments [SECTOR_BIN DETAIL DETAIL_COARSER WINDOW_HALFSIZE]");
  expect_error (1, @jebbinor, {X}, ...
    "jebbinor: jebbinor requires six input arguments [DETAIL DETAIL_COARSER LIKELIHOOD_RATIO PRIOR_RATIO WINDOW_HALFSIZE PRIOR_FACTOR]");
  expect_error (2, @jebbinor, {X}, ...
    "jebbinor: jebbinor requires one output arguments [PROB].");
end

function check_errors_by_identifier ()
  X = rand (8);
  expect_error (4, @kelvadra, {single(X), 0}, ...
    "kelvadra: ARRAY_IN must be a real, full double array (got single)", "kelvadra:badClass");
  expect_error (4, @kelvadra, {X, 3}, ...
    "kelvadra: ARRAY_IN is 8 x 8, too small for level 3: both dimensions must be at least 16", ...
    "kelvadra:tooSmall");
  expect_error (4, @kelvadra, {X, NaN}, ...
    "kelvadra: SCALE must be finite, with an integer part that fits a 32-bit int (got NaN)", ...
    "kelvadra:badScalar");
  expect_error (1, @ardavlek, {X, X, X, X(1:7, :), 0}, ...
    "ardavlek: DIAG_DETAIL has 56 elements, fewer than the 64 of the 8 x 8 LOWPASS", ...
    "ardavlek:tooFewElements");
  expect_error (1, @tormissa, {sparse(X), 1}, ...
    "tormissa: ARRAY_IN must be a real, full double array (got sparse double)", "tormissa:badClass");
  expect_error (1, @pundrel, {{1}, X}, ...
    "pundrel: SECTOR_BIN must be a real, full double array (got cell)", "pundrel:badClass");
  expect_error (1, @vostrane, {X, X, X, -1}, ...
    "vostrane: WINDOW_HALFSIZE must not be negative (got -1)", "vostrane:badScalar");
  expect_error (1, @jebbinor, {X, X, zeros(1, 0), 1, 1, 1}, ...
    "jebbinor: LIKELIHOOD_RATIO is empty: the table needs at least one column", "jebbinor:emptyTable");
  expect_error (1, @jebbinor, {X, X, 1, 1, 1, "a"}, ...
    "jebbinor: PRIOR_FACTOR must be a non-empty, real numeric value", "jebbinor:badScalar");
  expect_error (1, @jebbinor, {X, X + 1i, 1, 1, 1, 1}, ...
    "jebbinor: DETAIL_COARSER must be a real, full double array (got complex double)", "jebbinor:badClass");
  % One-element outputs (Octave keeps a 1 x 1 result as a scalar value).
  assert (tormissa (5, 2), 1);
  assert (pundrel (1, -3), 3);
  assert (vostrane ([0 0 0; 0 1 0; 0 0 0], ones (3), 2 * ones (3), 1), sqrt (12 / 9), eps);
  assert (jebbinor (3, -2.5, [1 2 4 8], [0.5 1 2], 0, 0.5), 8 / 9, eps);
  % Empty images give empty outputs and no message, whatever the level.
  [a, b, c, d] = kelvadra (zeros (0, 5), 40);
  assert (size (a), [0 5]);
  assert (size (pundrel (zeros (3, 0), zeros (3, 0))), [0 1]);
end

function check_statistics_chain ()
  img = double (imread (fullfile (fileparts (mfilename ("fullpath")), "..", "..", "data", "camera.png")));
  [L, H, V, D] = kelvadra (img, 1);
  [~, H2, ~, ~] = kelvadra (L, 2);
  sigma = 4;
  mask = tormissa (H, 1.5 * sigma);
  assert (all (mask(:) == 0 | mask(:) == 1));
  assert (isequal (mask, double (abs (fix (H)) >= 1.5 * sigma)));
  m1 = pundrel (mask, H);
  m0 = pundrel (1 - mask, H);
  assert (numel (m1) + numel (m0), numel (H));
  Ht = H.';
  assert (isequal (m1, abs (Ht(mask.' == 1))));  % row-by-row order
  e1 = vostrane (mask, H, H2, 1);
  e0 = vostrane (1 - mask, H, H2, 1);
  assert (numel (e1), numel (m1));
  bins = 0:255;
  p1 = histc (fix (m1), bins) + 1;  p1 /= sum (p1);
  p0 = histc (fix (m0), bins) + 1;  p0 /= sum (p0);
  q1 = histc (fix (e1), bins) + 1;  q1 /= sum (q1);
  q0 = histc (fix (e0), bins) + 1;  q0 /= sum (q0);
  LR = (p1 ./ p0)(:).';
  PR = (q1 ./ q0)(:).';
  prob = jebbinor (H, H2, LR, PR, 1, numel (m1) / numel (m0));
  assert (size (prob), size (H));
  assert (all (isfinite (prob(:))));
  assert (all (prob(:) >= 0 & prob(:) <= 1));
  assert (any (prob(:) > 0.5) && any (prob(:) < 0.5));
end

function check_inputs_unchanged ()
  X = rand (16); X0 = X;
  s = 1.5; s0 = s;
  [a, b, c, d] = kelvadra (X, s);
  Y = ardavlek (a, b, c, d, s);
  a0 = a;
  Z = ardavlek (a, b, c, d, s);
  assert (isequal (X, X0) && isequal (s, s0) && isequal (a, a0) && isequal (Y, Z));
end
