function grid = model_grid(opt)
% Grid of noise-free values x (in band noise deviations) for the band model,
% and the folded unit Gaussian noise kernel from x to the centres of the
% magnitude bins of the tables: kernel(k, i) = phi(y_k - x_i) + phi(y_k + x_i)
% up to the constant factor, which cancels in the likelihood ratio.
step = opt.step;
K = ceil(opt.table_span / step);
grid.dx = step / 8;
xmax = opt.table_span + 8;
grid.x = -xmax:grid.dx:xmax;
grid.signal = abs(grid.x) > opt.model_threshold;
y = ((0:K - 1) + 0.5) * step;
grid.kernel = exp(-0.5 * (y' - grid.x) .^ 2) + exp(-0.5 * (y' + grid.x) .^ 2);
end
