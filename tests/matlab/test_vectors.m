% vfft_vectors writes the files of `vfft vectors`, byte for byte, for the
% same options: every stimulus, fixed and floating point, widths up to the
% 86-bit words of a wide unscaled core, run-time lengths, given schedules,
% the inverse, and a vfft object in place of the core options.
program = getenv('VFFT_TEST_PROGRAM');
sets = {
  '--arch radix2 --nfft-max 3 --scaling unscaled --frames 2', ...
    {'arch', 'radix2', 'nfft_max', 3, 'scaling', 'unscaled', 'frames', 2};
  '--float --arch pipelined --nfft-max 8 --frames 4 --seed -7', ...
    {'float_mode', true, 'arch', 'pipelined', 'nfft_max', 8, 'frames', 4, 'seed', -7};
  '--arch radix2 --nfft-max 12 --nfft 9 --scaling bfp --stimulus tones,random --rounding convergent --inverse', ...
    {'arch', 'radix2', 'nfft_max', 12, 'nfft', 9, 'scaling', 'bfp', 'stimulus', 'tones,random', ...
     'rounding', 'convergent', 'inverse', true};
  '--nfft-max 7 --input-width 34 --twiddle-width 20 --scaling unscaled --frames 3 --seed 5', ...
    {vfft('nfft_max', 7, 'input_width', 34, 'twiddle_width', 20, 'scaling', 'unscaled'), 'frames', 3, 'seed', 5};
  '--arch radix2-lite --nfft-max 5 --schedule 0,1,1,1,0 --frames 3 --stimulus impulse,random', ...
    {'arch', 'radix2-lite', 'nfft_max', 5, 'schedule', [0 1 1 1 0], 'frames', 3, 'stimulus', {'impulse', 'random'}};
};
files = {'manifest.json', 'input.hex', 'output.hex', 'input.dec', 'output.dec'};
for k = 1:size(sets, 1)
  expected = tempname();
  got = tempname();
  [status, output] = system(sprintf('%s vectors %s --quiet %s', program, expected, sets{k, 1}));
  check(status == 0, '`vfft vectors %s` failed: %s', sets{k, 1}, output);
  vfft_vectors(got, sets{k, 2}{:});
  for name = files
    a = fileread(fullfile(expected, name{1}));
    b = fileread(fullfile(got, name{1}));
    if ~strcmp(a, b)
      n = min(numel(a), numel(b));
      first = find([a(1:n) ~= b(1:n), true], 1);
      error('test:failed', '%s, %s: differs from byte %d on:\n%s\n%s', sets{k, 1}, name{1}, first, ...
            a(first:min(end, first + 60)), b(first:min(end, first + 60)));
    end
  end
  confirm_recursive_rmdir(false);
  rmdir(expected, 's');
  rmdir(got, 's');
end
