function Z = mirror_pad(X, before, after)
% Extends X by BEFORE rows above and columns left, and by AFTER rows below
% and columns right, mirroring about the half-sample points beyond the
% first and last samples (the extension the transforms use themselves),
% repeated as often as needed when a pad exceeds the image size.
Z = X(mirror_index(size(X, 1), before, after), mirror_index(size(X, 2), before, after));
end

function k = mirror_index(n, before, after)
k = mod(-before:n - 1 + after, 2 * n);
k(k >= n) = 2 * n - 1 - k(k >= n);
k = k + 1;
end
