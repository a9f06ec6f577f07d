function [lr, pr, factor] = band_tables(m2, m4, e1, e0, n1, n0, opt, grid)
% Likelihood-ratio and prior-ratio tables of one band, in units of the
% band's table step (one integer step = opt.step band noise deviations, the
% band noise deviation being 1 in these units after the caller's scaling).
%   m2, m4 the means of the second and fourth powers of the magnitudes of
%          all coefficients of the band, in band noise deviations
%   e1, e0 neighbourhood energies (scaled) of the significant and the
%          insignificant class of the preliminary mask, border positions
%          already removed
%   n1, n0 class sizes (used only when opt.factor is not 'model')
%   grid   the model grid and noise kernel, from model_grid (the same for
%          every band, so computed once)
step = opt.step;
T = opt.model_threshold;          % in band noise deviations
K = ceil(opt.table_span / step);  % table length

% Noise-free band model: generalised Gaussian exp(-|x / a| ^ nu), fitted to
% the second and fourth moments of the noisy magnitudes (noise variance 1).
vx = max(m2 - 1, 1e-3);
nu = opt.shape;
if isempty(nu)
  kx = (m4 - 6 * vx - 3) / vx ^ 2;
  nu = shape_from_kurtosis(kx, grid);
end
a = sqrt(vx * gamma(1 / nu) / gamma(3 / nu));

% Densities of the noisy magnitude given |x| > T (signal) and |x| <= T
% (noise), on the centres of the magnitude bins of the table.  G is the
% model's mass of [-t, t] at the cell edges t; T is one of them.
G = gammainc((grid.edges / a) .^ nu, 1 / nu);
mass = diff(G);
sig = grid.signal;
P0 = G(grid.threshold_edge);
P1 = 1 - P0;
f = grid.kernel * [mass .* sig; mass .* ~sig]';
f1 = f(:, 1) / max(P1, realmin);
f0 = f(:, 2) / max(P0, realmin);
lr = f1 ./ max(f0, realmin);
lr = min(max(lr, 1e-12), 1e12)';
lr = cummax(lr);

% Prior ratio: ratio of the smoothed class histograms of the energies.
h1 = histc_(e1, K);
h0 = histc_(e0, K);
w = gauss_kernel(opt.smooth / step);
h1 = conv(h1, w, 'same') / max(numel(e1), 1);
h0 = conv(h0, w, 'same') / max(numel(e0), 1);
tiny = 1e-6 / K;
pr = (h1 + tiny) ./ (h0 + tiny);
pr = cummax(pr);
pr = min(max(pr, 1e-12), 1e12);

if strcmp(opt.factor, 'model')
  factor = P1 / max(P0, realmin);
else
  factor = n1 / max(n0, 1);
end
end

function h = histc_(v, K)
k = floor(v(:)') + 1;
k(k > K) = K;
h = accumarray(k(:), 1, [K 1])';
end

function w = gauss_kernel(width)
width = max(width, 0.5);
t = -ceil(3 * width):ceil(3 * width);
w = exp(-0.5 * (t / width) .^ 2);
w = w / sum(w);
end

function nu = shape_from_kurtosis(k, grid)
% Shape of the generalised Gaussian with kurtosis k (3 for nu = 2, 6 for 1),
% interpolated linearly in the decreasing kurtosis table of the grid.
nus = grid.shapes;
ks = grid.kurtosis;
if ~isfinite(k) || k >= ks(1)
  nu = nus(1);
elseif k <= ks(end)
  nu = nus(end);
else
  j = find(ks <= k, 1);
  t = (k - ks(j - 1)) / (ks(j) - ks(j - 1));
  nu = nus(j - 1) + t * (nus(j) - nus(j - 1));
end
end
