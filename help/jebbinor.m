% JEBBINOR  Significance probability of every coefficient, from ratio tables.
%   PROB = jebbinor(DETAIL, DETAIL_COARSER, LIKELIHOOD_RATIO, PRIOR_RATIO,
%                   WINDOW_HALFSIZE, PRIOR_FACTOR)
%   maps every coefficient d = DETAIL(i,j) to PROB(i,j) = r / (r + 1), with
%   the odds
%     r = LIKELIHOOD_RATIO(a + 1) * (PRIOR_FACTOR * PRIOR_RATIO(b + 1))
%   where a = abs(fix(d)) is the integer magnitude of d and b = fix(e) the
%   integer part of its clipped neighbourhood energy
%     e = sqrt ((S - d^2 + c^2) / W)
%   S is the sum of DETAIL.^2 over the (2*h+1) x (2*h+1) window centred on
%   (i,j) with h = WINDOW_HALFSIZE, clipped at the borders of the image, W the
%   number of coefficients inside it, and c = DETAIL_COARSER(i,j).  An index
%   past the end of a table uses the table's last entry.  A NaN coefficient or
%   energy gives NaN.
%
%   DETAIL            real, full double M x N detail band; it gives M and N.
%   DETAIL_COARSER    real, full double array of at least M*N elements, read
%                     as M x N: the band at a coarser level.
%   LIKELIHOOD_RATIO  real, full double table indexed by integer magnitude.
%                     Its length is its number of columns: give it as a row.
%   PRIOR_RATIO       real, full double table indexed by integer energy, a
%                     row as well.
%   WINDOW_HALFSIZE   real numeric scalar, truncated toward zero; it must not
%                     be negative.
%   PRIOR_FACTOR      real numeric scalar, used unchanged.
%   PROB              double M x N array; within [0, 1] when the tables and
%                     PRIOR_FACTOR are not negative.
%
%   Errors, by identifier:
%     jebbinor:badClass        an array argument is not a real, full double
%                              array
%     jebbinor:tooFewElements  DETAIL_COARSER has fewer elements than DETAIL
%     jebbinor:emptyTable      a table has no column while DETAIL is not empty
%     jebbinor:badScalar       WINDOW_HALFSIZE or PRIOR_FACTOR is empty,
%                              complex or not numeric, or WINDOW_HALFSIZE is
%                              not finite, beyond the 32-bit int range or
%                              negative
%     jebbinor:tooLarge        DETAIL has more than 2^31-1 rows or columns
%     jebbinor:outOfMemory     the result cannot be allocated
%   A call with other than one output or six inputs shows the usage message.
%
%   Example (h = 1, so every window is the whole 2 x 2 image):
%     P = jebbinor ([3 4; 0 0], [2 0; 0 0], [1 2 4 8], [0.5 1 2], 1, 0.5)
%     % P = [8/9 0.8; 0.5 0.5]
%
%   See also tormissa, pundrel, vostrane, kelvadra.

%!assert (jebbinor ([3 4; 0 0], [2 0; 0 0], [1 2 4 8], [0.5 1 2], 1, 0.5), [8/9 0.8; 0.5 0.5], eps)

% h = 0: the window is the coefficient alone, e = abs (DETAIL_COARSER).
% Magnitudes and energies past the end of a table use its last entry.
%!test
%! LR = [1 2 4 8];  PR = [0.5 1 2];
%! assert (jebbinor (3, -2.5, LR, PR, 0, 0.5), 8/9, eps);
%! assert (jebbinor (-7.6, 0.5, LR, PR, -0.5, 0.25), 0.5, eps);
%! assert (jebbinor (-7.6, 0.5, [1 3 7], 1, 0, 1), 7/8, eps);

% The window is clipped at the borders: W is 4 at the corners, 6 along the
% borders and 9 inside a 3 x 4 image (PRIOR_RATIO(b + 1) = b gives e back).
%!test
%! D = zeros (3, 4);  C = 3 * ones (3, 4);
%! W = [4 6 6 4; 6 9 9 6; 4 6 6 4];
%! P = jebbinor (D, C, 1, 0:2, 1, 1);
%! b = fix (sqrt (9 ./ W));
%! assert (P, b ./ (b + 1), eps);

% A column table has one entry; NaN coefficients give NaN.
%!test
%! P = jebbinor ([1 NaN; 2 3], zeros (2), [3; 5], [1 1], 0, 1);
%! assert (P, [0.75 NaN; 0.75 0.75]);

%!assert (size (jebbinor (zeros (0, 3), [], [], [], 1, 1)), [0 3])

%!error id=jebbinor:emptyTable P = jebbinor (1, 1, zeros (1, 0), 1, 0, 1);
%!error id=jebbinor:badScalar P = jebbinor (1, 1, 1, 1, 0, "a");
%!error id=jebbinor:badClass P = jebbinor (1, 1 + 2i, 1, 1, 0, 1);
%!error <jebbinor requires six input arguments> P = jebbinor (1, 1, 1, 1, 0);
