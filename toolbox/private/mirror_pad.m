function Z = mirror_pad(X, pad)
% Extends X by PAD rows above and below and PAD columns left and right,
% mirroring about the half-sample points beyond the first and last samples
% (the extension the transforms use themselves), repeated as often as needed
% when PAD exceeds the image size.
Z = X(mirror_index(size(X, 1), pad), mirror_index(size(X, 2), pad));
end

function k = mirror_index(n, pad)
k = mod(-pad:n - 1 + pad, 2 * n);
k(k >= n) = 2 * n - 1 - k(k >= n);
k = k + 1;
end
