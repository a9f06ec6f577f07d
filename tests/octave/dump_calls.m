% Calls every plug-in on inputs full of NaN, infinities, -0.0, huge and tiny
% values, checks that a repeated call gives the same bits, and writes the
% inputs and outputs of every call to `file`, so that our own host layer can
% replay them and compare bit for bit (cross_host_check).
%
% File format, all values little-endian doubles: the number of calls, then
% per call the plug-in's index (0 kelvadra, 1 ardavlek, 2 tormissa,
% 3 pundrel, 4 vostrane, 5 jebbinor), the numbers of outputs and inputs,
% and every input and then every output as rows, columns, values.
function dump_calls (file)
  calls = build_calls ();
  fid = fopen (file, "w", "ieee-le");
  if (fid < 0)
    error ("dump_calls: cannot write %s", file);
  end
  fwrite (fid, rows (calls), "double");
  names = {"kelvadra", "ardavlek", "tormissa", "pundrel", "vostrane", "jebbinor"};
  for c = 1:rows (calls)
    [name, nout, args] = calls{c, :};
    f = str2func (name);
    out = cell (1, nout);
    again = cell (1, nout);
    [out{:}] = f (args{:});
    [again{:}] = f (args{:});
    for k = 1:nout
      if (! isequal (size (out{k}), size (again{k})) ...
          || ! isequal (typecast (out{k}(:), "uint64"), typecast (again{k}(:), "uint64")))
        fclose (fid);
        error ("dump_calls: call %d of %s gave other bits when repeated", c, name);
      end
    end
    fwrite (fid, [find(strcmp (names, name)) - 1, nout, numel(args)], "double");
    for a = [args, out]
      fwrite (fid, [rows(a{1}), columns(a{1})], "double");
      fwrite (fid, a{1}(:), "double");
    end
  end
  fclose (fid);
  printf ("dump_calls: %d calls written to %s\n", rows (calls), file);
end

% Images with every kind of special value, on sizes that leave border
% frames of every width.
function X = image_with_specials (M, N, seed)
  rand ("seed", seed);
  randn ("seed", seed);
  X = 20 * randn (M, N);
  special = [NaN, Inf, -Inf, -0, 0, 1e300, -1e300, 1e-310, -1e-310, 3e9, -3e9, 2^31];
  pick = rand (M, N) < 0.08;
  X(pick) = special(floor (rand (nnz (pick), 1) * numel (special)) + 1);
end

function calls = build_calls ()
  calls = cell (0, 3);
  for size_seed = [17 13 1; 24 31 2; 9 9 3]'
    M = size_seed(1);
    N = size_seed(2);
    s = size_seed(3);
    X = image_with_specials (M, N, s);
    plain = 20 * (rand (M, N) - 0.5);  % finite: the fast path of the filters
    for level = [-1 0 1 2]
      if (min (M, N) >= 2 * 2 ^ level)
        calls(end + 1, :) = {"kelvadra", 4, {X, level}};
        calls(end + 1, :) = {"kelvadra", 4, {plain, level + 0.9}};
      end
      if (min (M, N) >= 3 * 2 ^ level)
        B = cell (1, 4);
        [B{:}] = kelvadra (plain, max (level, 0));
        calls(end + 1, :) = {"ardavlek", 1, [B, {level}]};
        calls(end + 1, :) = {"ardavlek", 1, {X, plain, X', X, level}};
      end
    end
    S = double (rand (M, N) < 0.4);
    S(rand (M, N) < 0.1) = NaN;
    S(rand (M, N) < 0.05) = 0.999;
    C = image_with_specials (M, N, s + 10);
    for threshold = [0 2.5 NaN -Inf 1e300]
      calls(end + 1, :) = {"tormissa", 1, {X, threshold}};
    end
    calls(end + 1, :) = {"pundrel", 1, {S, X}};
    for h = [0 1 2.7 40]
      calls(end + 1, :) = {"vostrane", 1, {S, X, C, h}};
      calls(end + 1, :) = {"vostrane", 1, {S, plain, plain', h}};
      calls(end + 1, :) = {"jebbinor", 1, {X, C, [0.5 1 2 4 8 16], [0.25; 1], h, 0.3}};
      calls(end + 1, :) = {"jebbinor", 1, {plain, abs(plain), rand(2, 9), [1 2 3 NaN], h, -0.7}};
    end
  end
end
