function G = band_models(m2, m4, opt, grid)
% Noise-free models of bands: generalised Gaussians exp(-|x / a| ^ nu),
% fitted to the second and fourth moments m2 and m4 of each band's noisy
% magnitudes, in band noise deviations (noise variance 1).  Row k of G is
% band k's mass of [-t, t] at the cell edges t of the model grid.  All bands
% go through one incomplete gamma call: its cost is mostly per call.
count = numel(m2);
nu = zeros(count, 1);
a = zeros(count, 1);
for k = 1:count
  vx = max(m2(k) - 1, 1e-3);
  if isempty(opt.shape)
    nu(k) = shape_from_kurtosis((m4(k) - 6 * vx - 3) / vx ^ 2, grid);
  else
    nu(k) = opt.shape;
  end
  a(k) = sqrt(vx * gamma(1 / nu(k)) / gamma(3 / nu(k)));
end
G = gammainc((grid.edges ./ a) .^ nu, repmat(1 ./ nu, 1, numel(grid.edges)));
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
