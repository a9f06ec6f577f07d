% Whole calls from Octave: the kelvadra + ardavlek round trip against the
% same transform written with conv2, measured in the same session.
% Run: octave-cli --path build/octave --path bench --eval transform_bench
function transform_bench (sizes, levels)
  if (nargin < 1), sizes = [2048 4096]; end
  if (nargin < 2), levels = 0:4; end
  printf ('| size | level | conv2 script (s) | plug-ins (s) | speed-up |\n');
  printf ('|---|---|---|---|---|\n');
  for n = sizes
    randn ('seed', n);
    X = randn (n);
    for level = levels
      [Lc, Hc, Vc, Dc] = conv2_transform ('forward', X, level);  % warm-up and check
      [L, H, V, D] = kelvadra (X, level);
      assert (max (abs (L(:) - Lc(:))) < 1e-9 && max (abs (D(:) - Dc(:))) < 1e-9);
      t_conv = best_of (@() conv2_round_trip (X, level));
      t_plug = best_of (@() plugin_round_trip (X, level));
      printf ('| %d | %d | %.3f | %.3f | %.1f |\n', n, level, t_conv, t_plug, t_conv / t_plug);
    end
  end
end

function Y = conv2_round_trip (X, level)
  [L, H, V, D] = conv2_transform ('forward', X, level);
  Y = conv2_transform ('inverse', L, H, V, D, level);
end

function Y = plugin_round_trip (X, level)
  [L, H, V, D] = kelvadra (X, level);
  Y = ardavlek (L, H, V, D, level);
end

function t = best_of (f)
  t = inf;
  for k = 1:3
    tic; f (); t = min (t, toc);
  end
end
