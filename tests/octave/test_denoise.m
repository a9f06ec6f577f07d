% Tests of the denoising pipeline (toolbox/denoise_image) in GNU Octave.
% Ends with an error if any check fails.
function test_denoise ()
  checks = { @check_exact_without_shrinkage, @check_gain_on_shapes, ...
             @check_gain_on_large_image, @check_tiny_sigma, @check_extreme_scales, ...
             @check_model_options_between_calls, @check_sigma_estimate, @check_errors };
  run_checks ("test_denoise", checks);
end

% With the shrinkage off, or SIGMA = 0, the padded transform and its inverse
% give back every pixel, borders included, for any size and level count.
function check_exact_without_shrinkage ()
  randn ("state", 3);
  cases = { % rows, columns, levels
    64, 64, 4;
    37, 53, 3;
    5, 7, 4;     % smaller than the filters' reach: padding by repetition
    1, 9, 2;
    130, 3, 5;
    2, 2, 1 };
  for k = 1:rows (cases)
    [m, n, J] = cases{k, :};
    Y = 100 * randn (m, n) + 50;
    Z = denoise_image (Y, 10, "levels", J, "shrink", false);
    assert (size (Z), size (Y));
    err = max (abs (Z(:) - Y(:)));
    assert (err < 1e-9, "%d x %d, %d levels: error %g", m, n, J, err);
    Z = denoise_image (Y, 0, "levels", J);
    err = max (abs (Z(:) - Y(:)));
    assert (err < 1e-9, "%d x %d, %d levels, SIGMA 0: error %g", m, n, J, err);
  end
end

function p = psnr (A, X)
  p = 10 * log10 (255 ^ 2 / mean ((A(:) - X(:)) .^ 2));
end

% Piecewise-constant shapes plus noise: the denoised image is far closer to
% the clean one than the noisy input, with SIGMA given and estimated.
function check_gain_on_shapes ()
  [c, r] = meshgrid (1:160, 1:144);
  X = 60 + 120 * ((r - 70) .^ 2 + (c - 60) .^ 2 < 35 ^ 2) ...
      + 70 * (r > 20 & r < 60 & c > 90 & c < 150) ...
      - 40 * (r > 100 & c > 100);
  randn ("state", 7);
  for sigma = [10 25]
    Y = X + sigma * randn (size (X));
    gain = psnr (denoise_image (Y, sigma), X) - psnr (Y, X);
    assert (gain > 10, "SIGMA %g given: gain only %.2f dB", sigma, gain);
    gain = psnr (denoise_image (Y), X) - psnr (Y, X);
    assert (gain > 10, "SIGMA %g estimated: gain only %.2f dB", sigma, gain);
  end
end

% An image large enough that the energies of the insignificant class are
% sampled (every k-th row and column, k >= 2): the gain holds there too.
function check_gain_on_large_image ()
  [c, r] = meshgrid (1:560, 1:600);
  X = 60 + 120 * ((r - 300) .^ 2 + (c - 250) .^ 2 < 150 ^ 2) ...
      + 70 * (r > 60 & r < 200 & c > 350 & c < 520) - 40 * (r > 420 & c > 380) ...
      + 30 * (mod (floor (r / 40) + floor (c / 40), 2) == 1 & r < 100 & c < 300);
  randn ('state', 5);
  sigma = 20;
  Y = X + sigma * randn (size (X));
  gain = psnr (denoise_image (Y, sigma), X) - psnr (Y, X);
  assert (gain > 10, 'large image, SIGMA given: gain only %.2f dB', gain);
  gain = psnr (denoise_image (Y), X) - psnr (Y, X);
  assert (gain > 10, 'large image, SIGMA estimated: gain only %.2f dB', gain);
end

% With a SIGMA far below the image's scale every coefficient is signal: the
% scaled bands must be clamped into the plug-ins' int range, and the image
% comes back unchanged.
function check_tiny_sigma ()
  randn ('state', 2);
  Y = 100 * randn (40, 50) + 50;
  for sigma = [1e-6, 1e-12, 1e-300, 1e-310]
    Z = denoise_image (Y, sigma);
    err = max (abs (Z(:) - Y(:)));
    assert (err < 1e-9, 'SIGMA %g: error %g', sigma, err);
  end
end

% Images and noise at the far ends of the range of doubles are denoised as
% the same image at ordinary scale, scaled: the band statistics must not
% overflow or underflow.
function check_extreme_scales ()
  randn ('state', 3);
  X = kron (magic (8), ones (8)) * 4;
  Y = X + 20 * randn (size (X));
  Z = denoise_image (Y, 20);
  for scale = [2^-900, 2^-500, 2^500, 2^900]
    W = denoise_image (Y * scale, 20 * scale);
    err = max (abs (W(:) / scale - Z(:))) / max (abs (Z(:)));
    assert (err < 1e-12, 'scale 2^%d: relative difference %g', log2 (scale), err);
  end
end

% The model tables are kept between calls for the same options: changing an
% option that shapes them must rebuild them, and going back must give the
% first result again.
function check_model_options_between_calls ()
  randn ('state', 4);
  [c, r] = meshgrid (1:96, 1:80);
  Y = 100 * (r > 40) + 50 * (c > 30) + 15 * randn (80, 96);
  Z1 = denoise_image (Y, 15);
  Z2 = denoise_image (Y, 15, 'model_threshold', 3);
  Z3 = denoise_image (Y, 15);
  Z4 = denoise_image (Y, 15, 'step', 0.2);
  assert (isequal (Z1, Z3), 'the default tables did not come back');
  assert (max (abs (Z1(:) - Z2(:))) > 1e-3, 'model_threshold had no effect');
  assert (max (abs (Z1(:) - Z4(:))) > 1e-3, 'step had no effect');
end

% On pure noise the estimate is within 10 % of the true deviation, whatever
% the offset and the size (the small image takes the median-absolute-value
% path, the others the block medians).
function check_sigma_estimate ()
  randn ("state", 11);
  for c = [2, 0, 150, 211; 15, 100, 211, 150; 40, -3, 40, 60]'
    sigma = c(1);
    Y = c(2) + sigma * randn (c(3), c(4));
    [~, info] = denoise_image (Y);
    assert (info.sigma_estimated);
    assert (abs (info.sigma / sigma - 1) < 0.1, "SIGMA %g estimated as %g", sigma, info.sigma);
  end
end

function expect_error (args, identifier)
  try
    denoise_image (args{:});
  catch err
    assert (err.identifier, identifier);
    return;
  end
  error ("no error raised; expected %s", identifier);
end

function check_errors ()
  Y = rand (16);
  expect_error ({}, "denoise_image:badInput");
  expect_error ({rand(16, 16, 3), 10}, "denoise_image:badInput");   % colour
  expect_error ({"some text", 10}, "denoise_image:badInput");
  expect_error ({{Y}, 10}, "denoise_image:badInput");
  expect_error ({Y + 1i, 10}, "denoise_image:badInput");
  expect_error ({[Y, NaN(16, 1)], 10}, "denoise_image:badInput");
  expect_error ({Y, -1}, "denoise_image:badSigma");
  expect_error ({Y, [1 2]}, "denoise_image:badSigma");
  expect_error ({Y, "10"}, "denoise_image:badSigma");
  expect_error ({Y, 10, "levels", 0}, "denoise_image:badOption");
  expect_error ({Y, 10, "halfsize", -1}, "denoise_image:badOption");
  expect_error ({Y, 10, "levels"}, "denoise_image:badOption");
  expect_error ({Y, 10, "nosuchoption", 1}, "denoise_image:badOption");
  % A uint8 image is accepted and the result is double of the same size.
  Z = denoise_image (uint8 (255 * Y), 5);
  assert (isa (Z, "double") && isequal (size (Z), size (Y)));
end
