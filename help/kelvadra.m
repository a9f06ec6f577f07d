% KELVADRA  One level of the undecimated 2-D quadratic-spline wavelet transform.
%   [LOWPASS, HOR_DETAIL, VER_DETAIL, DIAG_DETAIL] = kelvadra(ARRAY_IN, SCALE)
%   splits the image ARRAY_IN into four bands at the level SCALE.  Nothing is
%   decimated: every band has the size of the image, and the level only sets
%   how far apart the filter taps stand (2^SCALE samples).  The image is
%   mirrored about its edges.  Rows are filtered first, then columns:
%
%     LOWPASS      lowpass along rows,  lowpass along columns
%     HOR_DETAIL   lowpass along rows,  highpass along columns (horizontal edges)
%     VER_DETAIL   highpass along rows, lowpass along columns  (vertical edges)
%     DIAG_DETAIL  highpass along rows, highpass along columns
%
%   ARRAY_IN     real, full double M x N image.  Both M and N must be at least
%                2*2^SCALE; an empty image gives four empty bands at any level.
%   SCALE        the level: a real numeric scalar, truncated toward zero (1.9
%                is level 1, -0.5 is level 0).  At a negative level (-1 or
%                below) every tap weight but the last vanishes, and the bands
%                are 0 wherever the image is finite.
%   LOWPASS, HOR_DETAIL, VER_DETAIL, DIAG_DETAIL
%                real double M x N bands.  ardavlek rebuilds the image from
%                them.
%
%   Results are reproducible to the bit: fixed summation orders, no fused
%   multiply-add.
%
%   Errors, by identifier:
%     kelvadra:badClass     ARRAY_IN is not a real, full double array
%     kelvadra:badScalar    SCALE is empty, complex or not numeric, or is not
%                           finite with an integer part that fits a 32-bit int
%     kelvadra:tooSmall     ARRAY_IN has fewer than 2*2^SCALE rows or columns
%     kelvadra:tooLarge     ARRAY_IN has more than 2^31-1 rows or columns
%     kelvadra:outOfMemory  the bands cannot be allocated
%   A call with other than four outputs or two inputs shows the usage message.
%
%   Example:
%     X = magic (16);
%     [L, H, V, D] = kelvadra (X, 1);
%     Y = ardavlek (L, H, V, D, 1);
%     max (max (abs (Y(7:12, 7:12) - X(7:12, 7:12))))   % 0: X is back inside
%                                                       % the frame
%
%   See also ardavlek, tormissa, pundrel, vostrane, jebbinor.

%!demo
%! ## Transform an image at level 2 and show the four bands.
%! [c, r] = meshgrid (1:128, 1:128);
%! X = 100 * ((r - 64) .^ 2 + (c - 64) .^ 2 < 40 ^ 2) + 20 * sin (c / 5);
%! [L, H, V, D] = kelvadra (X, 2);
%! printf ("band         min       max\n");
%! bands = {L, H, V, D};  names = {"LOWPASS", "HOR_DETAIL", "VER_DETAIL", "DIAG_DETAIL"};
%! for k = 1:4
%!   printf ("%-11s %8.2f %9.2f\n", names{k}, min (bands{k}(:)), max (bands{k}(:)));
%! endfor

% A ramp down the rows: known bands at levels 0 and 1; its transpose gives
% the same sequences along the rows.
%!test
%! X = repmat ((0:7)', 1, 6);
%! expected = {0, [0.625 1.5 2.5 3.5 4.5 5.5 6.375 6.75], [0.5 0.5 0.5 0.5 0.5 0.5 0.5 0];
%!             1, [1.375 2.125 3 4 4.875 5.625 6 6], [1 1 1 1 1 1 0.5 -0.5]};
%! for k = 1:rows (expected)
%!   [level, low, hor] = expected{k, :};
%!   [L, H, V, D] = kelvadra (X, level);
%!   assert (L, repmat (low', 1, 6));
%!   assert (H, repmat (hor', 1, 6));
%!   assert (V, zeros (8, 6));
%!   assert (D, zeros (8, 6));
%!   [L, H, V, D] = kelvadra (X', level);
%!   assert (L, repmat (low, 6, 1));
%!   assert (V, repmat (hor, 6, 1));
%!   assert (H, zeros (6, 8));
%!   assert (D, zeros (6, 8));
%! endfor

% The example above: integers and dyadic taps make the round trip exact
% inside the frame.
%!test
%! X = magic (16);
%! [L, H, V, D] = kelvadra (X, 1);
%! Y = ardavlek (L, H, V, D, 1);
%! assert (Y(7:12, 7:12), X(7:12, 7:12));

% A constant image: LOWPASS is the image, the details vanish, at every level
% the size allows.
%!test
%! for level = 0:2
%!   [L, H, V, D] = kelvadra (ones (8, 9), level);
%!   assert (L, ones (8, 9));
%!   assert ([H V D], zeros (8, 27));
%! endfor

% SCALE is truncated toward zero; a negative level zeroes finite samples.
%!test
%! X = magic (8);
%! [a1, b1, c1, d1] = kelvadra (X, 1.9);
%! [a2, b2, c2, d2] = kelvadra (X, 1);
%! assert (isequal ({a1, b1, c1, d1}, {a2, b2, c2, d2}));
%! [a1, b1, c1, d1] = kelvadra (X, -0.5);
%! [a2, b2, c2, d2] = kelvadra (X, 0);
%! assert (isequal ({a1, b1, c1, d1}, {a2, b2, c2, d2}));
%! [L, H, V, D] = kelvadra ([1 NaN 3; 4 5 6], -1);
%! assert ([L H V D], repmat ([0 NaN 0; 0 0 0], 1, 4));

%!test
%! [L, H, V, D] = kelvadra (zeros (0, 5), 40);
%! assert ({size(L), size(H), size(V), size(D)}, {[0 5], [0 5], [0 5], [0 5]});

%!error <kelvadra requires four output arguments> kelvadra (magic (4), 0)
%!error id=kelvadra:tooSmall [L, H, V, D] = kelvadra (magic (7), 2);
%!error id=kelvadra:badClass [L, H, V, D] = kelvadra (single (magic (4)), 0);
%!error id=kelvadra:badScalar [L, H, V, D] = kelvadra (magic (4), Inf);
