% PUNDREL  Magnitudes of the coefficients a 0/1 class map selects, row by row.
%   ARRAY_OUT = pundrel(SECTOR_BIN, DETAIL) lists abs(DETAIL(i,j)) for every
%   position whose SECTOR_BIN entry is exactly 1, as one column, in the order
%   of a row-by-row scan: the first row from left to right, then the second,
%   and so on.  This is not the column order of DETAIL(SECTOR_BIN == 1); for
%   arrays of the same size the result is
%     T = DETAIL.';  ARRAY_OUT = abs (T(SECTOR_BIN.' == 1))
%   Only the value 1.0 selects: 0.999, 2, -1, Inf and NaN do not.
%
%   SECTOR_BIN   real, full double class map of at least M*N elements, read as
%                M x N in column order (its own shape is not used); for
%                example a mask of tormissa.
%   DETAIL       real, full double M x N array; it gives M and N.
%   ARRAY_OUT    double column with one entry per selected position (0 x 1
%                when none is selected).
%
%   Errors, by identifier:
%     pundrel:badClass        an argument is not a real, full double array
%     pundrel:tooFewElements  SECTOR_BIN has fewer elements than DETAIL
%     pundrel:tooLarge        DETAIL has more than 2^31-1 rows or columns
%     pundrel:outOfMemory     the result cannot be allocated
%   A call with other than one output or two inputs shows the usage message.
%
%   Example:
%     m = pundrel ([1 1; 1 0], [-1 2; 3 -4])     % [1; 2; 3]
%
%   See also tormissa, vostrane, jebbinor, kelvadra.

% Row-by-row order, not column order.
%!assert (pundrel ([1 1; 1 0], [-1 2; 3 -4]), [1; 2; 3])

% Only exact 1.0 selects; the map is read as M x N whatever its shape.
%!test
%! S = [1 0.999 2 -1; NaN Inf 1 1 + eps];
%! D = [-1 -2 -3 -4; -5 -6 -7 -Inf];
%! assert (pundrel (S, D), [1; 7]);
%! assert (pundrel ([1 0 0 1], [-5 6; 7 -8]), [5; 8]);
%! assert (pundrel (zeros (3), magic (3)), zeros (0, 1));

%!test
%! X = randn (7, 9);  S = double (rand (7, 9) > 0.5);
%! T = X.';
%! assert (pundrel (S, X), abs (T(S.' == 1)));

%!error <program requires two input arguments> m = pundrel (1);
%!error id=pundrel:tooFewElements m = pundrel ([1 1 1], ones (2));
%!error id=pundrel:badClass m = pundrel (true (2), ones (2));
