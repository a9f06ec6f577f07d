function [XHAT, INFO] = denoise_image(Y, SIGMA, varargin)
%DENOISE_IMAGE Remove additive white Gaussian noise from a grey image.
%   XHAT = DENOISE_IMAGE(Y, SIGMA) denoises the grey image Y (a real numeric
%   matrix of any size and value range) corrupted by white Gaussian noise of
%   standard deviation SIGMA.  XHAT is a double matrix of the size of Y.
%
%   XHAT = DENOISE_IMAGE(Y) or DENOISE_IMAGE(Y, []) estimates SIGMA from the
%   finest diagonal detail band: the median over 8 x 8 blocks of their root
%   mean square (the median absolute value / 0.6745 for small images),
%   divided by that band's noise gain.
%
%   XHAT = DENOISE_IMAGE(Y, SIGMA, NAME, VALUE, ...) sets options:
%     'levels'     number of decomposition levels (default 4)
%     'halfsize'   half size of the neighbourhood window: one value, or one
%                  per level from the finest, the last one repeated for the
%                  coarser levels (default [3 2 1])
%     'threshold'  preliminary mask threshold, in band noise deviations
%                  (default 2.5)
%     'shrink'     false to switch the shrinkage off: XHAT is then Y rebuilt
%                  through the transform (default true)
%
%   [XHAT, INFO] = DENOISE_IMAGE(...) also returns a struct with the fields
%   sigma (the SIGMA used), sigma_estimated (true if it was estimated) and
%   prob (the largest probability over the three orientations of the finest
%   level, size of Y).
%
%   The image is mirror-padded, decomposed with the undecimated spline
%   wavelet transform (kelvadra), every detail coefficient is multiplied by
%   its probability of carrying signal (tormissa, vostrane, jebbinor), and
%   the image is rebuilt (ardavlek) and cropped.

if nargin < 1
  error('denoise_image:badInput', 'denoise_image: Y is required');
end
if ~(isnumeric(Y) || islogical(Y)) || ~isreal(Y) || ndims(Y) ~= 2
  error('denoise_image:badInput', ...
        'denoise_image: Y must be a real numeric grey image (a 2-D matrix)');
end
Y = double(Y);
if any(~isfinite(Y(:)))
  error('denoise_image:badInput', 'denoise_image: Y must be finite');
end
if nargin < 2
  SIGMA = [];
end
if ~isempty(SIGMA) && (~isnumeric(SIGMA) || ~isreal(SIGMA) || ~isscalar(SIGMA) ...
                       || ~isfinite(SIGMA) || SIGMA < 0)
  error('denoise_image:badSigma', ...
        'denoise_image: SIGMA must be a finite non-negative real scalar');
end
opt = parse_options(varargin);

[M, N] = size(Y);
INFO = struct('sigma', SIGMA, 'sigma_estimated', isempty(SIGMA), 'prob', zeros(M, N));
if M == 0 || N == 0
  XHAT = Y;
  return;
end

[XHAT, INFO.sigma, INFO.prob] = denoise_padded(Y, SIGMA, opt, nargout > 1);
end

function [XHAT, SIGMA, prob] = denoise_padded(Y, SIGMA, opt, want_prob)
[M, N] = size(Y);
J = opt.levels;
prob = zeros(M, N);
% Mirror padding just wide enough that the inverse rebuilds every pixel of
% Y.  One level of the inverse at step t = 2^s rebuilds its input except in
% the first 3t and the last 2t rows and columns, and its lowpass filter
% spreads the frame of the coarser level's rebuilt lowpass by 2t at the start
% and t at the end.  From the coarsest kept level down, the frames add up
% to 3 * 2^(J-1) + 2 * (2^(J-1) - 1) before and 2 * 2^(J-1) + (2^(J-1) - 1)
% after.
before = 5 * 2 ^ (J - 1) - 2;
after = 3 * 2 ^ (J - 1) - 1;
Z = mirror_pad(Y, before, after);

% Decomposition: level s splits the lowpass of level s - 1.  One extra level
% supplies the coarser-scale neighbours of the coarsest kept level.
A = Z;
bands = cell(J + 1, 3);
for s = 0:J
  [L, bands{s + 1, 1}, bands{s + 1, 2}, bands{s + 1, 3}] = kelvadra(A, s);
  if s < J
    A = L;
  end
end

gains = band_noise_gains(J + 2);
inner_r = before + 1:before + M;
inner_c = before + 1:before + N;
if isempty(SIGMA)
  SIGMA = estimate_sigma(bands{1, 3}(inner_r, inner_c)) / sqrt(gains(1, 3));
end

if opt.shrink && SIGMA > 0
  grid = model_grid(opt);
  % Each band is scaled once to its table units (one integer step is
  % opt.step band noise deviations): as the band of its level and as the
  % coarser neighbour of the level below.  Every detail coefficient is at
  % most max(abs(Y(:))) in size (the filters' absolute taps sum to 1), so
  % the clamp that keeps integer magnitudes and energies in the plug-ins'
  % int range is needed only for a tiny SIGMA.
  unit = opt.step * SIGMA * sqrt(gains);
  peak = max(abs(Y(:)));
  clamp = 2 * peak / min(unit(:)) >= 2 ^ 28;
  % The moments below square the bands as they are, which is exact enough
  % unless their fourth powers or the units' could leave the range of
  % doubles; then they come from the bands in table units instead.
  plain_moments = ~clamp && peak < 2 ^ 200 && min(unit(:)) > 2 ^ -200 && max(unit(:)) < 2 ^ 200;
  % The energies of the insignificant class (nearly every coefficient) only
  % feed a smoothed histogram of 200 bins: they are sampled on every k-th
  % row and column, k chosen so that about 20000 positions remain (k = 4
  % for a 512 x 512 image); the histogram comes out the same to well within
  % its smoothing.
  k = max(floor(sqrt(numel(Z) / 20000)), 1);
  sample.map = zeros(size(Z));
  sample.map(1:k:end, 1:k:end) = 1;
  sample.step = k;
  % The band models need only the moments of the magnitudes: those of every
  % band first, so that one incomplete gamma call serves all the models.
  m2 = zeros(J, 3);
  m4 = zeros(J, 3);
  for b = 1:3
    for s = 0:J - 1
      if plain_moments
        [m2(s + 1, b), m4(s + 1, b)] = band_moments(bands{s + 1, b}, unit(s + 1, b), opt.step);
      else
        [m2(s + 1, b), m4(s + 1, b)] = band_moments(scaled(bands{s + 1, b}, unit(s + 1, b), ...
                                                           clamp), 1, opt.step);
      end
    end
  end
  models = band_models(m2, m4, opt, grid);
  for b = 1:3
    D = scaled(bands{1, b}, unit(1, b), clamp);
    for s = 0:J - 1
      Dc = scaled(bands{s + 2, b}, unit(s + 2, b), clamp);
      P = band_probability(D, Dc, s, opt, grid, sample, models(s + 1 + J * (b - 1), :));
      bands{s + 1, b} = bands{s + 1, b} .* P;
      if s == 0 && want_prob
        prob = max(prob, P(inner_r, inner_c));
      end
      D = Dc;
    end
  end
end

for s = J - 1:-1:0
  A = ardavlek(A, bands{s + 1, 1}, bands{s + 1, 2}, bands{s + 1, 3}, s);
end
XHAT = A(inner_r, inner_c);
end

function D = scaled(band, unit, clamp)
% A band in table units; with CLAMP, bounded so that every integer
% magnitude and energy fits the plug-ins' int range (such values are far
% past the tables' ends).
D = band * (1 / unit);
if clamp
  lim = 2 ^ 28;
  D = min(max(D, -lim), lim);
end
end

function [m2, m4] = band_moments(band, unit, step)
% Means of the second and fourth powers of a band's magnitudes, in band
% noise deviations (UNIT is step band noise deviations).  sum and sumsq: a
% row-times-column product goes to Octave's general matrix product, about
% three times slower here.
q = band .* band;
n = numel(q);
m2 = step ^ 2 * sum(q(:)) / (n * unit ^ 2);
m4 = step ^ 4 * sumsq(q(:)) / (n * unit ^ 4);
end

function P = band_probability(D, Dc, s, opt, grid, sample, model)
% Probability that each coefficient of a band carries signal.  D and Dc
% (the same orientation one level coarser) are in table units: each scaled
% by its own noise deviation so that one integer step is opt.step noise
% deviations.  SAMPLE.map is 1 at the positions whose energies represent
% the insignificant class, every SAMPLE.step-th row and column, 0 elsewhere.
% MODEL is the band's row of band_models.
h = opt.halfsize(min(s + 1, numel(opt.halfsize)));
mask = tormissa(D, opt.threshold / opt.step);
e1 = interior_energies(mask, D, Dc, h);
e0 = sampled_energies(sample, mask, D, Dc, h);
n1 = [];
n0 = [];
if ~strcmp(opt.factor, 'model')
  n1 = sum(mask(:));
  n0 = numel(mask) - n1;
end
[lr, pr, factor] = band_tables(model, e1, e0, n1, n0, opt, grid);
P = jebbinor(D, Dc, lr, pr, h, factor);
end

function sd = estimate_sigma(d)
% Noise deviation of the finest diagonal band D.  Edges inflate the spread
% of the band where they are, so the estimate is the median over 8 x 8
% blocks of the blocks' root mean squares: most blocks hold noise alone.
% Images with fewer than 16 such blocks use the median absolute value.
b = 8;
m = floor(size(d, 1) / b) * b;
n = floor(size(d, 2) / b) * b;
if m * n < 16 * b * b
  sd = median(abs(d(:))) / 0.6745;
  return;
end
B = reshape(d(1:m, 1:n), b, m / b, b, n / b);
B = reshape(permute(B, [1 3 2 4]), b * b, []);
sd = sqrt(median(mean(B .^ 2, 1)));
end

function e = sampled_energies(sample, mask, D, Dc, h)
% Neighbourhood energies of the sampled positions away from the border that
% are not in the mask, row by row.  vostrane lists the sampled interior
% positions first, row by row; the mask's values at the same positions, in
% the same order, pick out those outside it.
[M, N] = size(D);
rows = 1:sample.step:M;
cols = 1:sample.step:N;
rows = rows(rows > h & rows <= M - h);
cols = cols(cols > h & cols <= N - h);
e = vostrane(sample.map, D, Dc, h);
inside = mask(rows, cols)';
e = e(inside(:) ~= 1);
end

function e = interior_energies(mask, D, Dc, h)
% Neighbourhood energies of the selected positions away from the border:
% vostrane leaves one trailing zero per selected border position (those in
% the first and last h rows and columns); drop them.
e = vostrane(mask, D, Dc, h);
[M, N] = size(D);
if h > 0 && ~isempty(e)
  if 2 * h >= M || 2 * h >= N
    e = e(1:0);
    return;
  end
  rows = [mask(1:h, :); mask(M - h + 1:M, :)];
  cols = [mask(h + 1:M - h, 1:h), mask(h + 1:M - h, N - h + 1:N)];
  nb = sum(rows(:) == 1) + sum(cols(:) == 1);
  e = e(1:end - nb);
end
end

function opt = parse_options(args)
opt = struct('levels', 4, 'halfsize', [3 2 1], 'threshold', 2.5, 'shrink', true, ...
             'step', 0.1, 'model_threshold', 1.1, 'table_span', 20, ...
             'smooth', 0.15, 'shape', [], 'factor', 'model');
if mod(numel(args), 2) ~= 0
  error('denoise_image:badOption', 'denoise_image: options come as name/value pairs');
end
for k = 1:2:numel(args)
  name = args{k};
  if ~ischar(name) || ~isfield(opt, lower(name))
    error('denoise_image:badOption', 'denoise_image: unknown option');
  end
  opt.(lower(name)) = args{k + 1};
end
if ~isnumeric(opt.levels) || ~isscalar(opt.levels) || ~(opt.levels >= 1 && opt.levels <= 10) ...
   || opt.levels ~= round(opt.levels)
  error('denoise_image:badOption', 'denoise_image: levels must be an integer from 1 to 10');
end
if ~isnumeric(opt.halfsize) || isempty(opt.halfsize) || any(opt.halfsize < 0) ...
   || any(opt.halfsize ~= round(opt.halfsize))
  error('denoise_image:badOption', 'denoise_image: halfsize must be a non-negative integer');
end
if ~isnumeric(opt.threshold) || ~isscalar(opt.threshold) || ~(opt.threshold >= 0)
  error('denoise_image:badOption', 'denoise_image: threshold must be non-negative');
end
end
