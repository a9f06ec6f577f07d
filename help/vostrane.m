% VOSTRANE  Neighbourhood energies of the selected coefficients away from the border.
%   ARRAY_OUT = vostrane(SECTOR_BIN, DETAIL, DETAIL_COARSER, WINDOW_HALFSIZE)
%   has one entry for every position whose SECTOR_BIN entry is exactly 1.
%   With h = WINDOW_HALFSIZE, each selected position at least h away from
%   every border gets its neighbourhood energy
%     sqrt ((S - a^2 + b^2) / (2*h+1)^2)
%   where S is the sum of DETAIL.^2 over the (2*h+1) x (2*h+1) window centred
%   on the position, a = DETAIL and b = DETAIL_COARSER there: the root mean
%   square of DETAIL over the window, with the centre's own value replaced by
%   the coarser one.  These values come first, in row-by-row order of their
%   positions (as in pundrel); one 0 follows at the end of the list for each
%   selected position nearer the border than h.  With h = 0 the list matches
%   the one of pundrel position by position.
%
%   SECTOR_BIN       real, full double class map of at least M*N elements,
%                    read as M x N in column order; only 1.0 selects.
%   DETAIL           real, full double M x N detail band; it gives M and N.
%   DETAIL_COARSER   real, full double array of at least M*N elements, read
%                    as M x N: the band of the same orientation at a coarser
%                    level.
%   WINDOW_HALFSIZE  real numeric scalar, truncated toward zero (1.7 is 1,
%                    -0.5 is 0); it must not be negative.
%   ARRAY_OUT        double column with one entry per selected position.
%
%   Errors, by identifier:
%     vostrane:badClass        an array argument is not a real, full double
%                              array
%     vostrane:tooFewElements  SECTOR_BIN or DETAIL_COARSER has fewer elements
%                              than DETAIL
%     vostrane:badScalar       WINDOW_HALFSIZE is empty, complex, not numeric,
%                              not finite, beyond the 32-bit int range or
%                              negative
%     vostrane:tooLarge        DETAIL has more than 2^31-1 rows or columns
%     vostrane:outOfMemory     the result cannot be allocated
%   A call with other than one output or four inputs shows the usage message.
%
%   Example:
%     S = zeros (3);  S(2, 2) = 1;
%     e = vostrane (S, ones (3), 2 * ones (3), 1)   % sqrt (12/9) = 1.1547
%
%   See also pundrel, tormissa, jebbinor, kelvadra.

%!assert (vostrane ([0 0 0; 0 1 0; 0 0 0], ones (3), 2 * ones (3), 1), sqrt (12 / 9), eps)

% Row-by-row order of the interior positions, then one 0 for the selected
% border position (1, 1).
%!test
%! S = zeros (5);  S(1, 1) = 1;  S(2, 4) = 1;  S(3, 3) = 1;
%! D = reshape (1:25, 5, 5);  C = -D;
%! energy = @(i, j) sqrt ((sumsq (vec (D(i-1:i+1, j-1:j+1))) - D(i, j)^2 + C(i, j)^2) / 9);
%! assert (vostrane (S, D, C, 1), [energy(2, 4); energy(3, 3); 0], 1e-12);
%! assert (vostrane (S, D, C, 1.7), vostrane (S, D, C, 1));

% h = 0: the magnitudes of DETAIL_COARSER at the positions pundrel lists.
%!test
%! S = double (magic (6) > 18);  D = randn (6);  C = randn (6);
%! assert (vostrane (S, D, C, -0.5), pundrel (S, C), eps);

% A window larger than the image: one 0 for each selected position.
%!assert (vostrane ([1 0 1 1], ones (2), ones (2), 1), zeros (3, 1))

%!error id=vostrane:badScalar e = vostrane (ones (3), ones (3), ones (3), -1);
%!error id=vostrane:tooFewElements e = vostrane (ones (3), ones (3), ones (2), 1);
%!error <vostrane requires one  output argument> vostrane (ones (3), ones (3), ones (3), 1);
