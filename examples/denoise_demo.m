function denoise_demo(outdir)
%DENOISE_DEMO Denoise the bundled test image and write the pictures.
%   DENOISE_DEMO(OUTDIR) adds white Gaussian noise of standard deviation 20
%   (fixed seed) to data/camera.png, denoises it with SIGMA given and with
%   SIGMA estimated, prints PSNR and timings (best of three calls), and
%   writes into OUTDIR (default 'demo' in the current folder): noisy.png,
%   denoised.png and side_by_side.png (noisy, denoised and the probability
%   map of the finest level, largest over the three orientations).
if nargin < 1
  outdir = 'demo';
end
root = fileparts(fileparts(mfilename('fullpath')));
addpath(fullfile(root, 'toolbox'));
X = double(imread(fullfile(root, 'data', 'camera.png')));
sigma = 20;
if exist('OCTAVE_VERSION', 'builtin')
  randn('state', 0);
else
  rng(0);
end
Y = X + sigma * randn(size(X));

% Best of three calls each: the first call in a session also loads the
% plug-ins and reads the toolbox's functions.
tg = inf;
te = inf;
for run = 1:3
  tic;
  [Xg, info] = denoise_image(Y, sigma);
  tg = min(tg, toc);
  tic;
  [Xe, infoe] = denoise_image(Y);
  te = min(te, toc);
end

psnr = @(A) 10 * log10(255 ^ 2 / mean((A(:) - X(:)) .^ 2));
fprintf('camera.png, %d x %d, noise SIGMA %g (fixed seed)\n\n', size(X, 1), size(X, 2), sigma);
fprintf('%-26s %10s %10s %9s\n', 'image', 'PSNR (dB)', 'SIGMA', 'time (s)');
fprintf('%-26s %10.2f %10s %9s\n', 'noisy', psnr(Y), '-', '-');
fprintf('%-26s %10.2f %10.2f %9.2f\n', 'denoised, SIGMA given', psnr(Xg), info.sigma, tg);
fprintf('%-26s %10.2f %10.2f %9.2f\n', 'denoised, SIGMA estimated', psnr(Xe), infoe.sigma, te);

if ~exist(outdir, 'dir')
  mkdir(outdir);
end
to8 = @(A) uint8(min(max(round(A), 0), 255));
imwrite(to8(Y), fullfile(outdir, 'noisy.png'));
imwrite(to8(Xg), fullfile(outdir, 'denoised.png'));
gap = 255 * ones(size(X, 1), 8);
imwrite(to8([Y, gap, Xg, gap, 255 * info.prob]), fullfile(outdir, 'side_by_side.png'));
fprintf('\nwrote noisy.png, denoised.png, side_by_side.png to %s\n', outdir);
end
