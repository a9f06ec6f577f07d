% TORMISSA  0/1 threshold mask of the integer magnitudes of a band.
%   ARRAY_OUT = tormissa(ARRAY_IN, THRESHOLD) is 1 where the integer magnitude
%   abs(fix(x)) of an element x reaches THRESHOLD, and 0 where THRESHOLD is
%   greater.  The fraction is dropped before the comparison (2.9 has the
%   magnitude 2), so a fractional THRESHOLD acts as the next whole number up:
%   2.5 marks the magnitudes 3 and above.  A THRESHOLD of 0 or less marks
%   every element, and so does a NaN THRESHOLD; a NaN element gives 0.
%
%   ARRAY_IN     real, full double M x N array, for example a detail band of
%                kelvadra.
%   THRESHOLD    real numeric scalar, used unchanged (not truncated).
%   ARRAY_OUT    double M x N array of the values 0 and 1.
%
%   Errors, by identifier:
%     tormissa:badClass     ARRAY_IN is not a real, full double array
%     tormissa:badScalar    THRESHOLD is empty, complex or not numeric
%     tormissa:tooLarge     ARRAY_IN has more than 2^31-1 rows or columns
%     tormissa:outOfMemory  the result cannot be allocated
%   A call with other than one output or two inputs shows the usage message.
%
%   Example:
%     M = tormissa ([2.7 -2.7; 0.4 -3.0], 2)     % [1 1; 0 1]
%
%   See also kelvadra, pundrel, vostrane, jebbinor.

%!test
%! assert (tormissa ([2.7 -2.7; 0.4 -3.0], 2), [1 1; 0 1]);

% Each row: THRESHOLD, then the mask of [2.9 3.0 -3.5 0.4 -0.4 0 NaN Inf].
%!test
%! X = [2.9 3.0 -3.5 0.4 -0.4 0 NaN Inf];
%! cases = [2.5   0 1 1 0 0 0 0 1
%!          0     1 1 1 1 1 1 0 1
%!          -Inf  1 1 1 1 1 1 0 1
%!          Inf   0 0 0 0 0 0 0 1
%!          NaN   1 1 1 1 1 1 0 1
%!          3     0 1 1 0 0 0 0 1];
%! masks = zeros (rows (cases), numel (X));
%! for k = 1:rows (cases)
%!   masks(k, :) = tormissa (X, cases(k, 1));
%! endfor
%! assert (masks, cases(:, 2:end));

% The integer class of THRESHOLD does not matter; the shape of ARRAY_IN is
% kept, empty included.
%!test
%! X = randn (6, 5) * 10;
%! assert (tormissa (X, int8 (4)), tormissa (X, 4));
%! assert (tormissa (X, 4), double (abs (fix (X)) >= 4));
%! assert (size (tormissa (zeros (0, 4), 1)), [0 4]);

%!error <tormissa requires one output argument> tormissa (1, 1);
%!error id=tormissa:badClass M = tormissa (int16 (5), 1);
%!error id=tormissa:badScalar M = tormissa (5, []);
