% Transforms a generated image at levels 0 to 4 with kelvadra, rebuilds it
% with ardavlek and prints the reconstruction error inside the frame (the
% first 3 x 2^level and the last 2 x 2^level rows and columns are outside).
function transform_example ()
  [c, r] = meshgrid (1:256, 1:256);
  X = 128 + 60 * sin (c / 9) .* cos (r / 13) + 40 * ((r - 128) .^ 2 + (c - 100) .^ 2 < 50 ^ 2);
  printf ("level  frame  max |error| inside  time (ms)\n");
  for level = 0:4
    t = 2 ^ level;
    tic;
    [L, H, V, D] = kelvadra (X, level);
    Y = ardavlek (L, H, V, D, level);
    ms = 1000 * toc;
    inside_r = 3 * t + 1 : rows (X) - 2 * t;
    inside_c = 3 * t + 1 : columns (X) - 2 * t;
    err = max (max (abs (Y(inside_r, inside_c) - X(inside_r, inside_c))));
    printf ("%5d  %5d  %19.3g  %9.1f\n", level, 3 * t, err, ms);
  end
end
