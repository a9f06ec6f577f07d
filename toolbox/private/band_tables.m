function [lr, pr, factor] = band_tables(mag, e1, e0, n1, n0, opt, grid)
% Likelihood-ratio and prior-ratio tables of one band, in units of the
% band's table step (one integer step = opt.step band noise deviations, the
% band noise deviation being 1 in these units after the caller's scaling).
%   mag    magnitudes of all coefficients of the band (scaled)
%   e1, e0 neighbourhood energies (scaled) of the significant and the
%          insignificant class of the preliminary mask, border positions
%          already removed
%   n1, n0 class sizes
%   grid   the noise kernel on the model grid, from model_grid (the same for
%          every band, so computed once per image)
step = opt.step;
T = opt.model_threshold;          % in band noise deviations
K = ceil(opt.table_span / step);  % table length

% Noise-free band model: generalised Gaussian exp(-|x / a| ^ nu), fitted to
% the second and fourth moments of the noisy magnitudes (noise variance 1).
m = mag * step;                   % back to noise-deviation units
m = m .* m;
m2 = mean(m);
m4 = mean(m .* m);
vx = max(m2 - 1, 1e-3);
nu = opt.shape;
if isempty(nu)
  kx = (m4 - 6 * vx - 3) / vx ^ 2;
  nu = shape_from_kurtosis(kx);
end
a = sqrt(vx * gamma(1 / nu) / gamma(3 / nu));

% Densities of the noisy magnitude given |x| > T (signal) and |x| <= T
% (noise), on the centres of the magnitude bins of the table.  The model's
% mass is taken per grid cell from its distribution function, which stays
% exact however narrow its peak is.
x = grid.x;
dx = grid.dx;
cdf = @(t) 0.5 + 0.5 * sign(t) .* gammainc((abs(t) / a) .^ nu, 1 / nu);
mass = cdf(x + dx / 2) - cdf(x - dx / 2);
sig = grid.signal;
P1 = gammainc((T / a) ^ nu, 1 / nu, 'upper');
P0 = 1 - P1;
f1 = grid.kernel(:, sig) * mass(sig)' / max(P1, realmin);
f0 = grid.kernel(:, ~sig) * mass(~sig)' / max(P0, realmin);
lr = f1 ./ max(f0, realmin);
lr = min(max(lr, 1e-12), 1e12)';
lr = cummax_(lr);

% Prior ratio: ratio of the smoothed class histograms of the energies.
h1 = histc_(e1, K);
h0 = histc_(e0, K);
w = gauss_kernel(opt.smooth / step);
h1 = conv(h1, w, 'same') / max(numel(e1), 1);
h0 = conv(h0, w, 'same') / max(numel(e0), 1);
tiny = 1e-6 / K;
pr = (h1 + tiny) ./ (h0 + tiny);
pr = cummax_(pr);
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

function v = cummax_(v)
for k = 2:numel(v)
  if v(k) < v(k - 1)
    v(k) = v(k - 1);
  end
end
end

function nu = shape_from_kurtosis(k)
% Shape of the generalised Gaussian with kurtosis k (3 for nu = 2, 6 for 1).
nus = 0.3:0.01:2;
ks = gamma(5 ./ nus) .* gamma(1 ./ nus) ./ gamma(3 ./ nus) .^ 2;
if ~isfinite(k) || k >= ks(1)
  nu = nus(1);
elseif k <= ks(end)
  nu = nus(end);
else
  nu = interp1(ks, nus, k);
end
end
