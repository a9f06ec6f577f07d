function grid = model_grid(opt)
% Grid of noise-free values x >= 0 (in band noise deviations) for the band
% model, and the folded unit Gaussian noise kernel from x to the centres of
% the magnitude bins of the tables: kernel(k, i) = phi(y_k - x_i) + phi(y_k + x_i)
% up to the constant factor, which cancels in the likelihood ratio.  The
% model and the kernel are both even in x, so the grid holds the half x >= 0
% and the kernel's columns for x > 0 count twice (for x and -x).  Also the
% kurtosis of the generalised Gaussian on a grid of shapes, for the fit.
% The result depends on the options only, so it is kept between calls.
persistent cache key
k = [opt.step, opt.table_span, opt.model_threshold];
if ~isempty(key) && isequal(key, k)
  grid = cache;
  return;
end
step = opt.step;
K = ceil(opt.table_span / step);
grid.dx = step / 8;
n = round((opt.table_span + 8) / grid.dx);
grid.x = (0:n) * grid.dx;
grid.signal = grid.x > opt.model_threshold;
y = ((0:K - 1) + 0.5) * step;
w = [1, 2 * ones(1, n)];
grid.kernel = (exp(-0.5 * (y' - grid.x) .^ 2) + exp(-0.5 * (y' + grid.x) .^ 2)) .* w;
grid.shapes = 0.3:0.01:2;
grid.kurtosis = gamma(5 ./ grid.shapes) .* gamma(1 ./ grid.shapes) ./ gamma(3 ./ grid.shapes) .^ 2;
cache = grid;
key = k;
end
