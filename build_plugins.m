% BUILD_PLUGINS  Build the six waveprob plug-ins with the host's own mex command.
%   build_plugins compiles kelvadra, ardavlek, tormissa, pundrel, vostrane and
%   jebbinor from the sources beside this file into the folder mex/ beside it,
%   copies their help files next to them, and returns that folder.  It runs
%   in MATLAB and in GNU Octave, each with its own mex (a C++17 compiler is
%   needed; in Octave also its development files, mkoctfile).
%
%   build_plugins (OUTDIR) builds into the folder OUTDIR instead.
%   OUTDIR = build_plugins (...) returns the folder.
%
%   The flags that fix the results are always given: C++17, no fused
%   multiply-add (-ffp-contract=off), no fast-math.  Then:
%     addpath (OUTDIR)
%     help kelvadra
%
%   Example:
%     cd waveprob
%     folder = build_plugins ();
%     addpath (folder);
%     [L, H, V, D] = kelvadra (magic (8), 1);
%
%   See also mex, kelvadra.
function outdir = build_plugins (outdir)
  root = fileparts (mfilename ('fullpath'));
  if nargin < 1 || isempty (outdir)
    outdir = fullfile (root, 'mex');
  elseif isempty (regexp (outdir, '^([\\/]|[A-Za-z]:)', 'once'))
    outdir = fullfile (pwd, outdir);  % the build runs from a scratch folder
  end
  if ~exist (outdir, 'dir')
    [ok, msg] = mkdir (outdir);
    if ~ok
      error ('build_plugins:outdir', 'cannot create %s: %s', outdir, msg);
    end
  end

  plugins = dir (fullfile (root, 'plugins', '*.cpp'));
  core = dir (fullfile (root, 'core', '*.cpp'));
  shared = {fullfile(root, 'gateway', 'mex_entry.cpp'), fullfile(root, 'gateway', 'gateway.cpp')};
  for k = 1:numel (core)
    shared{end + 1} = fullfile (root, 'core', core(k).name);
  end
  include = ['-I' root];
  in_octave = exist ('OCTAVE_VERSION', 'builtin') ~= 0;
  msvc = false;
  if ~in_octave
    compiler = mex.getCompilerConfigurations ('C++', 'Selected');
    if isempty (compiler)
      error ('build_plugins:compiler', 'no C++ compiler is set up for mex: run mex -setup C++');
    end
    msvc = strncmpi (compiler(1).ShortName, 'MSVC', 4);
  end

  % Objects go to a scratch folder, not to the caller's current folder.
  scratch = tempname ();
  mkdir (scratch);
  here = pwd ();
  cleanup = onCleanup (@() leave_scratch (here, scratch));
  cd (scratch);

  for k = 1:numel (plugins)
    [~, name] = fileparts (plugins(k).name);
    sources = [{fullfile(root, 'plugins', plugins(k).name)}, shared];
    fprintf ('building %s\n', name);
    if in_octave
      % Octave's mex is mkoctfile --mex: compiler flags pass straight through.
      mex ('-std=c++17', '-O2', '-Wall', '-Wextra', '-ffp-contract=off', '-fno-fast-math', ...
           '-fvisibility=hidden', '-fvisibility-inlines-hidden', '-Wl,-Bsymbolic', ...
           include, '-o', fullfile (outdir, [name '.mex']), sources{:});
    elseif msvc
      % MATLAB with Microsoft Visual C++.
      mex ('COMPFLAGS=$COMPFLAGS /std:c++17 /fp:precise', include, ...
           '-outdir', outdir, '-output', name, sources{:});
    else
      % MATLAB with GCC or Clang.
      mex ('CXXFLAGS=$CXXFLAGS -std=c++17 -ffp-contract=off -fno-fast-math -fvisibility=hidden', ...
           include, '-outdir', outdir, '-output', name, sources{:});
    end
    copyfile (fullfile (root, 'help', [name '.m']), outdir);
  end
  fprintf ('built %d plug-ins in %s; addpath (''%s'') to use them\n', numel (plugins), outdir, outdir);
end

function leave_scratch (here, scratch)
  cd (here);
  rmdir (scratch, 's');
end
