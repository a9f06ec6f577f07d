% ARDAVLEK  Rebuild an image from the four bands of one transform level.
%   ARRAY_OUT = ardavlek(LOWPASS, HOR_DETAIL, VER_DETAIL, DIAG_DETAIL, SCALE)
%   is the inverse of kelvadra at the level SCALE.  Each band is filtered
%   along its rows and then along its columns with the synthesis partners of
%   the filters kelvadra applied to it, and the four results are added.  It is
%   a fixed linear map of the bands, so bands changed after the forward
%   transform (thresholded, for example) are treated like untouched ones.
%
%   From the untouched bands of an M x N image X at the same level, with
%   t = 2^SCALE, ARRAY_OUT equals X up to rounding except in the first 3*t and
%   the last 2*t rows and columns, which come back only approximately.  A
%   constant image comes back everywhere.
%
%   LOWPASS      real, full double M x N band; it gives M and N, which must
%                both be at least 3*2^SCALE.  Empty bands give an empty result
%                at any level.
%   HOR_DETAIL, VER_DETAIL, DIAG_DETAIL
%                real, full double arrays of at least M*N elements, read as
%                M x N in column order.
%   SCALE        the level, truncated toward zero as in kelvadra.  At a
%                negative level the result is DIAG_DETAIL/1024 for finite
%                bands.
%   ARRAY_OUT    real double M x N image.
%
%   Errors, by identifier:
%     ardavlek:badClass        a band is not a real, full double array
%     ardavlek:tooFewElements  a band has fewer elements than LOWPASS
%     ardavlek:badScalar       SCALE is empty, complex or not numeric, or is
%                              not finite with an integer part that fits a
%                              32-bit int
%     ardavlek:tooSmall        LOWPASS has fewer than 3*2^SCALE rows or columns
%     ardavlek:tooLarge        LOWPASS has more than 2^31-1 rows or columns
%     ardavlek:outOfMemory     the result or the working copies cannot be
%                              allocated
%   A call with other than one output or five inputs shows the usage message.
%
%   Example:
%     X = rand (64);
%     [L, H, V, D] = kelvadra (X, 2);
%     Y = ardavlek (L, H, V, D, 2);
%     max (max (abs (Y(13:56, 13:56) - X(13:56, 13:56))))   % about 1e-16
%
%   See also kelvadra, tormissa.

%!demo
%! ## Remove the finest detail of a noisy step and rebuild the image.
%! X = [zeros(32, 16), 10 * ones(32, 16)] + randn (32);
%! [L, H, V, D] = kelvadra (X, 0);
%! Y = ardavlek (L, 0 * H, 0 * V, 0 * D, 0);
%! printf ("row 16 before: %s\n", sprintf ("%6.2f", X(16, 13:20)));
%! printf ("row 16 after:  %s\n", sprintf ("%6.2f", Y(16, 13:20)));

% The round trip gives the image back inside the frame, at several levels
% and for images that are not square.
%!test
%! rand ("seed", 3);
%! for level = 0:2
%!   t = 2 ^ level;
%!   X = rand (3 * t + 11, 3 * t + 7);
%!   [L, H, V, D] = kelvadra (X, level);
%!   Y = ardavlek (L, H, V, D, level);
%!   inner_rows = 3 * t + 1 : rows (X) - 2 * t;
%!   inner_cols = 3 * t + 1 : columns (X) - 2 * t;
%!   assert (Y(inner_rows, inner_cols), X(inner_rows, inner_cols), 1e-13);
%!   assert (size (Y), size (X));
%! endfor

% A constant image comes back everywhere, the frame included.
%!test
%! [L, H, V, D] = kelvadra (7 * ones (12, 13), 2);
%! assert (ardavlek (L, H, V, D, 2), 7 * ones (12, 13), 1e-13);

% Only LOWPASS: the lowpass synthesis filter along rows then columns; at a
% negative level only DIAG_DETAIL counts, divided by 1024.
%!test
%! L = zeros (7);  L(4, 4) = 64;  Z = zeros (7);
%! Y = ardavlek (L, Z, Z, Z, 0);
%! w = [1 3 3 1] / 8;
%! assert (Y, [zeros(2, 7); zeros(4, 2), 64 * w' * w, zeros(4, 1); zeros(1, 7)]);
%! D = zeros (7);  D(1, 1:2) = [1024 -2048];
%! assert (ardavlek (L, L, L, D, -1), D / 1024);

%!test
%! assert (size (ardavlek (zeros (0, 3), [], [], [], 9)), [0 3]);

%!error <ardavlek requires five input arguments> Y = ardavlek (1, 2, 3, 4);
%!error id=ardavlek:tooSmall Y = ardavlek (ones (5), ones (5), ones (5), ones (5), 1);
%!error id=ardavlek:tooFewElements Y = ardavlek (ones (4), ones (4), ones (4), ones (3), 0);
