% The same one-level transform and its inverse written with conv2: the
% baseline that the plug-ins are measured against.  Mirror extension by
% index vectors, dilated separable kernels, 'valid' convolution.
function varargout = conv2_transform (direction, varargin)
  if (strcmp (direction, 'forward'))
    [X, level] = deal (varargin{:});
    t = 2 ^ level;
    lp = dilate ([0.125 0.375 0.375 0.125 0], t);
    hp = dilate ([0 0.5 -0.5 0 0], t);
    Xp = X(mirror_index (size (X, 1), 2 * t, 2 * t), mirror_index (size (X, 2), 2 * t, 2 * t));
    varargout = {conv2(lp', lp, Xp, 'valid'), conv2(hp', lp, Xp, 'valid'), ...
                 conv2(lp', hp, Xp, 'valid'), conv2(hp', hp, Xp, 'valid')};
  else
    [L, H, V, D, level] = deal (varargin{:});
    t = 2 ^ level;
    slp = dilate ([0 0 0.125 0.375 0.375 0.125 0], t);
    shp = dilate ([0 -0.03125 -0.21875 -0.6875 0.6875 0.21875 0.03125], t);
    r = mirror_index (size (L, 1), 3 * t, 3 * t);
    c = mirror_index (size (L, 2), 3 * t, 3 * t);
    varargout = {conv2(slp', slp, L(r, c), 'valid') + conv2(shp', slp, H(r, c), 'valid') ...
                 + conv2(slp', shp, V(r, c), 'valid') + conv2(shp', shp, D(r, c), 'valid')};
  end
end

function d = dilate (taps, t)
  d = zeros (1, (numel (taps) - 1) * t + 1);
  d(1:t:end) = taps;
end

% Indices of a signal of length n mirrored by `before` and `after` samples
% about its half-sample end points.
function k = mirror_index (n, before, after)
  k = [before:-1:1, 1:n, n:-1:n - after + 1];
end
