function g = band_noise_gains(levels)
% Noise gains of the detail bands: g(s + 1, b) is the variance of band b
% (1 horizontal, 2 vertical, 3 diagonal) at level s when the image holds
% white noise of unit variance.  The transform is separable, so each band is
% one equivalent filter along the rows times one along the columns; the
% equivalent filters are the dilated lowpass filters of the coarser levels
% convolved with the dilated lowpass or highpass filter of the level itself.
% The variance is the sum of the squared taps (away from the border).
lowpass = [0.125 0.375 0.375 0.125];
highpass = [0.5 -0.5];
g = zeros(levels, 3);
chain = 1;
for s = 0:levels - 1
  low = conv(chain, dilate(lowpass, 2 ^ s));
  high = conv(chain, dilate(highpass, 2 ^ s));
  gl = sum(low .^ 2);
  gh = sum(high .^ 2);
  g(s + 1, :) = [gl * gh, gh * gl, gh * gh];
  chain = low;
end
end

function d = dilate(h, step)
d = zeros(1, (numel(h) - 1) * step + 1);
d(1:step:end) = h;
end
