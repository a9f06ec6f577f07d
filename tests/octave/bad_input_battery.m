% Bad-input battery for one plug-in: every argument in turn is replaced by
% each value of a list of wrong classes, shapes and scalars, and by images
% smaller than the designated one.  Every call must either fail with the
% identifier the documented argument rules give, or succeed with outputs of
% the documented shape and values.  Each case is printed before it runs, so
% that the process that runs this file can name the case if Octave dies.
% Ends with an error if any case fails.
function bad_input_battery (name)
  p = plugin_info (name);
  base = base_arguments (name);
  tried = 0;
  failures = 0;
  for k = 1:numel (base)
    cases = replacements (base{k}, p.kinds(k), rows (base{p.designated}), ...
                          columns (base{p.designated}));
    for c = 1:rows (cases)
      args = base;
      args{k} = cases{c, 2};
      label = sprintf ("%s argument %d (%s) <- %s", name, k, p.names{k}, cases{c, 1});
      printf ("case %s\n", label);
      fflush (stdout);
      tried += 1;
      problem = check_call (p, args);
      if (! isempty (problem))
        failures += 1;
        printf ("FAIL %s: %s\n", label, problem);
      end
    end
  end
  printf ("%s: %d bad inputs tried, %d failed\n", name, tried, failures);
  if (failures > 0)
    error ("bad_input_battery: %d case(s) of %s failed", failures, name);
  end
end

% Counts, argument kinds (I image, T table, L level, H half size, R real
% scalar) and the argument that gives M and N.
function p = plugin_info (name)
  switch (name)
    case "kelvadra"
      p = struct ("nout", 4, "kinds", "IL", "designated", 1, "reach", 2);
      p.names = {"ARRAY_IN", "SCALE"};
    case "ardavlek"
      p = struct ("nout", 1, "kinds", "IIIIL", "designated", 1, "reach", 3);
      p.names = {"LOWPASS", "HOR_DETAIL", "VER_DETAIL", "DIAG_DETAIL", "SCALE"};
    case "tormissa"
      p = struct ("nout", 1, "kinds", "IR", "designated", 1, "reach", 0);
      p.names = {"ARRAY_IN", "THRESHOLD"};
    case "pundrel"
      p = struct ("nout", 1, "kinds", "II", "designated", 2, "reach", 0);
      p.names = {"SECTOR_BIN", "DETAIL"};
    case "vostrane"
      p = struct ("nout", 1, "kinds", "IIIH", "designated", 2, "reach", 0);
      p.names = {"SECTOR_BIN", "DETAIL", "DETAIL_COARSER", "WINDOW_HALFSIZE"};
    case "jebbinor"
      p = struct ("nout", 1, "kinds", "IITTHR", "designated", 1, "reach", 0);
      p.names = {"DETAIL", "DETAIL_COARSER", "LIKELIHOOD_RATIO", "PRIOR_RATIO", ...
                 "WINDOW_HALFSIZE", "PRIOR_FACTOR"};
    otherwise
      error ("bad_input_battery: no plug-in %s", name);
  end
  p.name = name;
  p.fn = str2func (name);
end

% A valid call on an 8 x 9 image: fixed values, no random generator.
function args = base_arguments (name)
  X = reshape (mod ((1:72) * 37, 101), 8, 9) / 7 - 5;
  C = reshape (mod ((1:72) * 53, 89), 8, 9) / 9 - 4;
  S = double (mod (reshape (1:72, 8, 9), 3) == 0);
  switch (name)
    case "kelvadra"
      args = {X, 1};
    case "ardavlek"
      args = {X, C, X - C, X .* C / 8, 1};
    case "tormissa"
      args = {X, 2};
    case "pundrel"
      args = {S, X};
    case "vostrane"
      args = {S, X, C, 1};
    case "jebbinor"
      args = {X, C, [1 2.5 4 7], [0.5 1.3 2], 1, 0.3};
  end
end

% The replacement values for argument v: label and value.
function cases = replacements (v, kind, M, N)
  cases = {
    "single",          single(v);
    "int8",            int8(v);
    "int32",           int32(v);
    "uint8",           uint8(v);
    "logical",         logical(v);
    "char",            repmat("a", size (v));
    "cell",            {v};
    "struct",          struct("v", v);
    "complex double",  v + 1i;
    "sparse double",   sparse(v);
    "empty 0x0",       zeros(0, 0);
    "empty 0xN",       zeros(0, N);
    "empty Mx0",       zeros(M, 0);
    "empty 2^31x0",    zeros(2^31, 0);
    "empty 0x2^31",    zeros(0, 2^31);
    "3-D array",       cat(3, v, v);
    "function handle", @sin;
    "NaN",             NaN;
    "Inf",             Inf;
    "-Inf",            -Inf;
    "1e300",           1e300;
    "-1e300",          -1e300;
    "2^31",            2^31;
  };
  if (kind == "I")
    cases = [cases; {
      "1x1 image",       v(1, 1);
      "1xN image",       v(1, :);
      "Mx1 image",       v(:, 1);
      "2x2 image",       v(1:2, 1:2);
      "3x3 image",       v(1:3, 1:3);
      "5x5 image",       v(1:5, 1:5);
      "(M-1)xN image",   v(1:end-1, :);
      "Mx(N-1) image",   v(:, 1:end-1);
    }];
  end
end

function tf = real_full_double (a)
  tf = isa (a, "double") && isreal (a) && ! issparse (a);
end

% Columns as a host counts them: the product of every dimension but the first.
function n = host_columns (a)
  sz = size (a);
  n = prod (sz(2:end));
end

% The identifier the documented rules give for this call ("" when it must
% succeed), with M and N.
function [id, M, N] = expected_identifier (p, args)
  id = "";
  D = args{p.designated};
  M = rows (D);
  N = host_columns (D);
  if (! real_full_double (D))
    id = [p.name ":badClass"];
    return;
  end
  if (M > 2147483647 || N > 2147483647)
    id = [p.name ":tooLarge"];
    return;
  end
  for k = 1:numel (args)
    a = args{k};
    switch (p.kinds(k))
      case "I"
        if (! real_full_double (a))
          id = [p.name ":badClass"];
        elseif (numel (a) < M * N)
          id = [p.name ":tooFewElements"];
        end
      case "T"
        if (! real_full_double (a))
          id = [p.name ":badClass"];
        elseif (numel (a) == 0 && M * N > 0)
          id = [p.name ":emptyTable"];
        end
      otherwise
        if (! (isnumeric (a) && isreal (a) && ! isempty (a)))
          id = [p.name ":badScalar"];
        elseif (any (p.kinds(k) == "LH"))
          x = double (full (a(1)));
          if (! (x > -2147483649 && x < 2147483648))
            id = [p.name ":badScalar"];
          elseif (p.kinds(k) == "H" && fix (x) < 0)
            id = [p.name ":badScalar"];
          end
        end
    end
    if (! isempty (id))
      return;
    end
  end
  if (p.reach > 0 && M > 0 && N > 0)
    level = fix (double (full (args{p.kinds == "L"}(1))));
    if (level >= 0 && (M < p.reach * 2 ^ level || N < p.reach * 2 ^ level))
      id = [p.name ":tooSmall"];
    end
  end
end

% The arguments as the plug-in reads them: images M x N from their first
% M*N values, tables as a row of their first (column count) values, scalars
% as doubles.
function c = canonical (p, args, M, N)
  c = args;
  for k = 1:numel (args)
    a = args{k};
    switch (p.kinds(k))
      case "I"
        c{k} = reshape (a(1:M * N), M, N);
      case "T"
        c{k} = reshape (a(1:host_columns (a)), 1, []);
      otherwise
        c{k} = double (full (a(1)));
    end
  end
end

% Runs one call; returns "" if it behaved as documented, else what went wrong.
function problem = check_call (p, args)
  problem = "";
  [id, M, N] = expected_identifier (p, args);
  out = cell (1, p.nout);
  try
    [out{:}] = p.fn (args{:});
  catch err
    if (isempty (id))
      problem = sprintf ("expected success, got error %s: %s", err.identifier, err.message);
    elseif (! strcmp (err.identifier, id))
      problem = sprintf ("expected %s, got %s: %s", id, err.identifier, err.message);
    elseif (isempty (strtrim (err.message)))
      problem = "error without a message";
    end
    return;
  end
  if (! isempty (id))
    problem = sprintf ("expected error %s, the call succeeded", id);
    return;
  end
  expected = reference (p, canonical (p, args, M, N));
  for k = 1:p.nout
    if (! (isa (out{k}, "double") && isreal (out{k}) && ! issparse (out{k})))
      problem = sprintf ("output %d is %s, not a real double array", k, class (out{k}));
    elseif (! isequal (size (out{k}), size (expected{k})))
      problem = sprintf ("output %d is %s, expected %s", k, mat2str (size (out{k})), ...
                         mat2str (size (expected{k})));
    elseif (! isequal (typecast (out{k}(:), "uint64"), typecast (expected{k}(:), "uint64")))
      problem = sprintf ("output %d differs from the documented result", k);
    end
    if (! isempty (problem))
      return;
    end
  end
end

% The documented result of a call with canonical arguments.  The transforms'
% values are checked against the literal design elsewhere; here their
% canonical call is the reference, so a class, shape or extra-element
% variant must give exactly the plain call's bits.
function out = reference (p, a)
  switch (p.name)
    case {"kelvadra", "ardavlek"}
      out = cell (1, p.nout);
      [out{:}] = p.fn (a{:});
    case "tormissa"
      X = a{1};
      m = double (! (a{2} > abs (fix (X))));
      m(isnan (X)) = 0;
      out = {m};
    case "pundrel"
      St = a{1}.';
      Dt = a{2}.';
      v = Dt(St(:) == 1);
      v(v < 0) = -v(v < 0);
      out = {reshape(v, [], 1)};
    case "vostrane"
      out = {neighbourhood_energy(a{:})};
    case "jebbinor"
      out = {significance(a{:})};
  end
end

function out = neighbourhood_energy (S, D, C, h)
  h = fix (h);
  [M, N] = size (D);
  out = zeros (nnz (S == 1), 1);
  area = (2 * h + 1) ^ 2;
  k = 0;
  for i = 1 + h : M - h
    for j = 1 + h : N - h
      if (S(i, j) != 1)
        continue;
      end
      s = 0;
      for l = i - h : i + h
        for m = j - h : j + h
          s = s + D(l, m) * D(l, m);
        end
      end
      t = s - D(i, j) * D(i, j);
      t = t + C(i, j) * C(i, j);
      k += 1;
      out(k) = (t / area) ^ 0.5;
    end
  end
end

function P = significance (D, C, LR, PR, h, f)
  h = fix (h);
  [M, N] = size (D);
  P = zeros (M, N);
  for i = 1:M
    for j = 1:N
      d = D(i, j);
      if (isnan (d))
        P(i, j) = NaN;
        continue;
      end
      lambda = LR(min (abs (fix (d)), numel (LR) - 1) + 1);
      rr = max (1, i - h) : min (M, i + h);
      cc = max (1, j - h) : min (N, j + h);
      s = 0;
      for k = rr
        for l = cc
          s = s + D(k, l) * D(k, l);
        end
      end
      E = ((s - d * d) + C(i, j) * C(i, j)) / (numel (rr) * numel (cc));
      e = E ^ 0.5;
      if (! (e >= 0))
        P(i, j) = NaN;
        continue;
      end
      r = lambda * (f * PR(min (fix (e), numel (PR) - 1) + 1));
      P(i, j) = r / (r + 1);
    end
  end
end
