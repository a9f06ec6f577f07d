function quality_bench()
%QUALITY_BENCH PSNR and time of denoise_image on the bundled camera.png.
%   Noise Y = X + SIGMA * randn (double, no rounding, fixed seed) for SIGMA
%   10, 20 and 30; PSNR with peak 255 over the whole image, no clipping.
%   Each time is the best of three runs.
root = fileparts(fileparts(mfilename('fullpath')));
addpath(fullfile(root, 'toolbox'));
X = double(imread(fullfile(root, 'data', 'camera.png')));
psnr = @(A) 10 * log10(255 ^ 2 / mean((A(:) - X(:)) .^ 2));
fprintf('camera.png %d x %d: PSNR (dB)\n', size(X, 1), size(X, 2));
fprintf('%6s %8s %10s %10s %10s %10s %10s\n', 'SIGMA', 'noisy', 'given', 'estimated', ...
        'SIGMA est', 'time given', 'time est');
for sigma = [10 20 30]
  if exist('OCTAVE_VERSION', 'builtin')
    randn('state', 0);
  else
    rng(0);
  end
  Y = X + sigma * randn(size(X));
  [Xg, tg] = timed(@() denoise_image(Y, sigma));
  [Xe, te] = timed(@() denoise_image(Y));
  [ignored, info] = denoise_image(Y);
  fprintf('%6g %8.2f %10.2f %10.2f %10.2f %9.2fs %9.2fs\n', sigma, psnr(Y), psnr(Xg), ...
          psnr(Xe), info.sigma, tg, te);
end
end

function [out, best] = timed(f)
best = inf;
for k = 1:3
  tic;
  out = f();
  best = min(best, toc);
end
end
