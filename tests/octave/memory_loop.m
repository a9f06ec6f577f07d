% Calls each plug-in `calls` times (default 10000) in a loop, every call
% followed by one that ends in an error (cycling through the usage message
% and errors by identifier), and checks that Octave's resident memory stays
% flat: within `limit_kb` (default 5 MB) of its level after a warm-up of
% calls/10 rounds.  Prints the figures; ends with an error if memory grew.
function memory_loop (calls, limit_kb)
  if (nargin < 1)
    calls = 10000;
  end
  if (nargin < 2)
    limit_kb = 5 * 1024;
  end
  X = reshape (mod ((1:1024) * 37, 101), 32, 32) / 7 - 5;
  C = reshape (mod ((1:1024) * 53, 89), 32, 32) / 9 - 4;
  S = double (mod (reshape (1:1024, 32, 32), 3) == 0);
  % Name, outputs, a valid call, and calls that fail.
  plugins = {
    "kelvadra", 4, {X, 1}, {{X}, {single(X), 1}, {X, NaN}, {X, 5}};
    "ardavlek", 1, {X, C, X, C, 1}, {{X}, {X, C, X, {}, 1}, {X, C, X(1:5, :), C, 1}, {X, C, X, C, 4}};
    "tormissa", 1, {X, 2}, {{X}, {X + 1i, 2}, {X, "a"}, {sparse(X), 2}};
    "pundrel", 1, {S, X}, {{S}, {S(1:3, :), X}, {S, int8(X)}, {S, @sin}};
    "vostrane", 1, {S, X, C, 1}, {{S, X}, {S, X, C, -1}, {S, X, C(:, 1), 1}, {S, X, C, Inf}};
    "jebbinor", 1, {X, C, [1 2 4 8], [0.5 1 2], 1, 0.3}, ...
        {{X}, {X, C, zeros(0, 4), [1 2], 1, 1}, {X, C, [1 2], [1 2], -2, 1}, {X, C, [1 2], [1 2], 1, {}}};
  };
  warm_up = max (1, round (calls / 10));
  grown = {};
  for k = 1:rows (plugins)
    [name, nout, ok, bad] = plugins{k, :};
    f = str2func (name);
    run_calls (f, nout, ok, bad, warm_up);
    before = resident_kb ();
    run_calls (f, nout, ok, bad, calls);
    after = resident_kb ();
    printf ("%s: %d calls and %d failing calls, resident %d kB -> %d kB (%+d kB)\n", ...
            name, calls, calls, before, after, after - before);
    if (after - before > limit_kb)
      grown{end + 1} = name;
    end
  end
  if (! isempty (grown))
    error ("memory_loop: resident memory grew by more than %d kB in: %s", limit_kb, ...
           strjoin (grown, ", "));
  end
end

function run_calls (f, nout, ok, bad, n)
  out = cell (1, nout);
  for c = 1:n
    [out{:}] = f (ok{:});
    args = bad{mod (c, numel (bad)) + 1};
    try
      [out{:}] = f (args{:});
      error ("memory_loop:notFailing", "memory_loop: a failing call of %s succeeded", func2str (f));
    catch err
      if (strcmp (err.identifier, "memory_loop:notFailing"))
        rethrow (err);
      end
    end
  end
end

function kb = resident_kb ()
  text = fileread ("/proc/self/status");
  kb = str2double (regexp (text, 'VmRSS:\s*(\d+)', "tokens", "once"){1});
end
