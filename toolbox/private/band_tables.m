function [lr, pr, factor] = band_tables(G, e1, e0, n1, n0, opt, grid)
% Likelihood-ratio and prior-ratio tables of one band, in units of the
% band's table step (one integer step = opt.step band noise deviations, the
% band noise deviation being 1 in these units after the caller's scaling).
%   G      the band model's mass of [-t, t] at the cell edges t of the grid
%          (a row of band_models)
%   e1, e0 neighbourhood energies (scaled) of the significant and the
%          insignificant class of the preliminary mask, border positions
%          already removed
%   n1, n0 class sizes (used only when opt.factor is not 'model')
%   grid   the model grid and noise kernel, from model_grid (the same for
%          every band, so computed once)
step = opt.step;
K = ceil(opt.table_span / step);  % table length

% Densities of the noisy magnitude given |x| > T (signal) and |x| <= T
% (noise), on the centres of the magnitude bins of the table.  The model
% threshold T is one of the cell edges.
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
