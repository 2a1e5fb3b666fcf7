% The class against Octave's fft at the scale each mode documents, for every
% architecture, scaling and direction; frames in columns against single
% frames; row vectors; schedules per frame; run-time lengths; the widths of
% describe and the code conversions; both gateways bit for bit.
1;

function x = grid_frames(points, frames, bits, amplitude)
  % Random values on the grid of bits fraction bits, |x| < amplitude.
  x = complex(round((rand(points, frames) - 0.5) * 2 * amplitude * 2^bits), ...
              round((rand(points, frames) - 0.5) * 2 * amplitude * 2^bits)) * 2^-bits;
end

rand('seed', 7);
archs = {'radix4', 'radix2', 'pipelined', 'radix2-lite'};
modes = {{'scaling', 'schedule'}, {'scaling', 'bfp'}, {'scaling', 'unscaled'}, {'float_mode', true}};
nfft = 7;  % odd: the radix-4 architectures end in a radix-2 stage
points = 2^nfft;
for a = 1:numel(archs)
  for m = 1:numel(modes)
    f = vfft('arch', archs{a}, 'nfft_max', nfft, modes{m}{:});
    % A strong tone over noise: the error relative to the largest bin
    % stays at a few steps of the output grid.
    x = grid_frames(points, 3, 15, 0.2) + round(2^14 * exp(2i * pi * 5 * (0:points - 1)' / points)) * 2^-15;
    for inverse = [false, true]
      [y, blk_exp, overflow, scale] = f.transform(x, 'inverse', inverse);
      if inverse
        exact = ifft(x) * points;
      else
        exact = fft(x);
      end
      err = max(abs(y - scale .* exact)) ./ max(abs(scale .* exact));
      where = sprintf('%s, mode %d, inverse %d', archs{a}, m, inverse);
      check(isequal(size(y), size(x)) && isequal(size(blk_exp), [1 3]) && islogical(overflow), ...
            '%s: shapes', where);
      check(all(err < 1e-3) && (~f.float_mode || all(err < 3e-5)), '%s: relative error %g', where, max(err));
      check(~any(overflow), '%s: overflow', where);
      d = f.describe();
      check(all(blk_exp == 0) || d.has_blk_exp, '%s: block exponent without block floating point', where);
      % Frames in columns give the single frames' results, bit for bit.
      [y2, blk_exp2] = f.transform(x(:, 2), 'inverse', inverse);
      check(isequal(y2, y(:, 2)) && blk_exp2 == blk_exp(2), '%s: column 2 alone differs', where);
    end
    % Codes at both ports convert back to the same values.
    [re, im] = f.to_codes(y);
    check(isequal(f.from_codes(re, im), y) && isa(re, 'int64'), '%s: output codes', where);
    [re, im] = f.to_codes(x, 'input');
    check(isequal(f.from_codes(re, im, 'input'), x), '%s: input codes', where);
  end
end

% Widths and binary points of the codes.
f = vfft('scaling', 'unscaled', 'input_width', 12, 'nfft_max', 9, 'arch', 'radix2');
check(f.output_width == 12 + 9 + 1 && f.output_point == 11 && f.input_point == 11, 'unscaled widths');
[re, im] = f.to_codes(complex(-2^10, 2^10 - 2^-11));
check(re == -2^21 && im == 2^21 - 1, 'unscaled extreme codes %d %d', re, im);
f = vfft('float_mode', true, 'arch', 'pipelined');
check(f.input_width == 32 && f.output_width == 32 && f.output_point == 0, 'floating-point widths');
[re, im] = f.to_codes(complex(1, -2));
check(re == 1065353216 && im == -1073741824, 'single bit patterns as codes');
d = vfft('arch', 'radix4', 'nfft_max', 9).describe();
check(d.stages == 5 && isequal(d.default_schedule, [2 2 2 2 1]) && d.schedule_max(end) == 1, 'radix-4 rules');

% Schedules: one for all frames, or one column per frame; the scale follows.
f = vfft('arch', 'radix2', 'nfft_max', 6);
x = grid_frames(64, 2, 15, 0.01);
s = [0 0 0 1 1 1; 1 1 1 1 1 1]';
[y, ~, overflow, scale] = f.transform(x, 'schedule', s);
check(isequal(scale, [2^-3, 2^-6]) && ~any(overflow), 'per-frame scale %g %g', scale);
check(isequal(y(:, 1), f.transform(x(:, 1), 'schedule', s(:, 1)')), 'per-frame schedule, frame 1');
check(isequal(y(:, 2), f.transform(x(:, 2))), 'per-frame schedule, frame 2 (the default one)');
[~, ~, overflow] = f.transform(repmat(1 - 2^-15, 64, 1), 'schedule', zeros(1, 6));
check(overflow, 'a schedule without shifts overflows on a full-scale constant');

% Row vectors are one frame, as for fft; real frames have zero imaginary parts.
f = vfft('runtime_nfft', true, 'arch', 'pipelined');
x = grid_frames(32, 1, 15, 0.5);
[y, ~, ~, scale] = f.transform(x.');
check(isequal(y, f.transform(x).') && scale == 2^-5, 'row vector, run-time length from the frame');
check(isequal(f.transform(real(x)), f.transform(complex(real(x), 0))), 'real frames');
check(isequal(f.transform(single(x)), f.transform(x)), 'single frames');
check(isequal(f.transform(x, 'nfft', 5), f.transform(x)), 'explicit run-time length');
check(isempty(f.transform(zeros(32, 0))), 'no frames');

% The reference gateway gives the same bits.
for m = 1:numel(modes)
  x = grid_frames(128, 2, 15, 0.5);
  [y1, e1, o1] = vfft('arch', 'radix4', 'nfft_max', 7, 'rounding', 'convergent', modes{m}{:}).transform(x);
  [y2, e2, o2] = vfft('arch', 'radix4', 'nfft_max', 7, 'rounding', 'convergent', 'reference', true, ...
                      modes{m}{:}).transform(x);
  check(isequal(y1, y2) && isequal(e1, e2) && isequal(o1, o2), 'reference gateway, %s', modes{m}{1});
end
[version, datapath] = vfft.version(true);
check(strcmp(version, '8.0.0') && strcmp(datapath, 'reference'), 'version %s %s', version, datapath);

% A struct of generics, the others at their defaults.
f = vfft(struct('C_ARCH', 3, 'C_HAS_BFP', 1));
check(strcmp(f.arch, 'pipelined') && strcmp(f.scaling, 'bfp') && f.nfft_max == 10, 'generics struct');
