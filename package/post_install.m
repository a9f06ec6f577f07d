## Moves each plug-in's help file beside its MEX file.  Octave (and MATLAB)
## read a MEX file's help from the .m file of the same name in the same
## folder, but pkg installs .m files and MEX files into different folders.
function post_install (desc)
  mexfiles = dir (fullfile (desc.archprefix, "*", "*.mex"));
  if (isempty (mexfiles))
    error ("waveprob: no MEX file found under %s", desc.archprefix);
  endif
  for k = 1:numel (mexfiles)
    [~, name] = fileparts (mexfiles(k).name);
    helpfile = fullfile (desc.dir, [name ".m"]);
    if (isfile (helpfile))
      [ok, msg] = movefile (helpfile, mexfiles(k).folder);
      if (! ok)
        error ("waveprob: cannot move %s beside %s: %s", helpfile, mexfiles(k).name, msg);
      endif
    endif
  endfor
endfunction
