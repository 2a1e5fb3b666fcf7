function vfft_vectors(dir, varargin)
% VFFT_VECTORS  Writes a golden-vector set for an HDL test bench into DIR:
% the same files, byte for byte, as the command-line program's
% `vfft vectors DIR` with the same options.
%
%   vfft_vectors(DIR, 'arch', 'radix2', 'nfft_max', 6, 'scaling', 'bfp', 'frames', 4)
%   vfft_vectors(DIR, f, 'frames', 4)           % f a vfft object
%
%   manifest.json          generics, widths and binary points of the codes,
%                          file names, per frame nfft, points, direction,
%                          scaling_sch, blk_exp, overflow and first_sample,
%                          and the frame and sample counts
%   input.hex, output.hex  one sample per line, (re << W) | im in 2W bits, as
%                          ceil(2W/4) lower-case hex digits ($readmemh)
%   input.dec, output.dec  the same samples as 're im' signed decimal codes
%
% Options beside the core's (see vfft): 'frames' (default 3), 'stimulus'
% (comma list or cell of random, tones, impulse, cycled over the frames;
% default 'random,tones,impulse'), 'seed' (default 1), 'nfft' (a run-time
% length; sets runtime_nfft), 'schedule', 'inverse'.
  frames = 3;
  kinds = {'random', 'tones', 'impulse'};
  seed = 1;
  call = {};
  core = {};
  f = [];
  args = varargin;
  if ~isempty(args) && isa(args{1}, 'vfft')
    f = args{1};
    args = args(2:end);
  end
  if mod(numel(args), 2) ~= 0
    error('vfft:badOption', 'vfft_vectors takes DIR, optionally a vfft object, and name-value pairs');
  end
  for k = 1:2:numel(args)
    value = args{k + 1};
    switch args{k}
      case 'frames'
        frames = value;
        if ~(isnumeric(value) && isscalar(value) && value >= 1 && value == round(value))
          error('vfft:badOption', 'frames must be a whole number of 1 or more');
        end
      case 'stimulus'
        kinds = value;
        if ischar(value)
          kinds = strsplit(value, ',');
        end
        if ~iscellstr(kinds) || isempty(kinds) || ~all(ismember(kinds, {'random', 'tones', 'impulse'}))
          error('vfft:badOption', 'stimulus must list random, tones and impulse');
        end
      case 'seed'
        seed = value;
      case 'nfft'
        call(end + 1:end + 2) = args(k:k + 1);
        core(end + 1:end + 2) = {'runtime_nfft', true};
      case {'schedule', 'inverse'}
        call(end + 1:end + 2) = args(k:k + 1);
      otherwise
        core(end + 1:end + 2) = args(k:k + 1);
    end
  end
  if isempty(f)
    f = vfft(core{:});
  elseif ~isempty(core)
    error('vfft:badOption', 'core options apply when no vfft object is given');
  end

  nfft = f.nfft_max;
  given = find(strcmp(call(1:2:end), 'nfft'));
  if ~isempty(given)
    nfft = call{2 * given(end)};
  end
  d = f.describe(nfft);
  points = 2^nfft;
  grid_bits = d.input_point;
  if d.float_mode
    grid_bits = 23;  % a single keeps 24 significant bits below 1
  end

  % The stimulus frames, one per column.
  x = complex(zeros(points, frames), zeros(points, frames));
  draws = 0;
  n = (0:points - 1)';
  for frame = 0:frames - 1
    shift = mod(frame, points);
    switch kinds{mod(frame, numel(kinds)) + 1}
      case 'random'
        v = noise(seed, draws, 2 * points, grid_bits);
        draws = draws + 2 * points;
        x(:, frame + 1) = complex(v(1:2:end), v(2:2:end));
      case 'tones'
        tones = [1 + shift, 0.4, 0.1 * shift; points / 4 + 3 * shift, 0.25, 1.0; points - 5 - shift, 0.1, 2.0];
        re = zeros(points, 1);
        im = zeros(points, 1);
        for t = 1:3
          angle = 2.0 * pi * rem(tones(t, 1) * n, points) / points + tones(t, 3);
          re = re + tones(t, 2) * cos(angle);
          im = im + tones(t, 2) * sin(angle);
        end
        x(:, frame + 1) = complex(floor(re * 2^grid_bits), floor(im * 2^grid_bits)) * 2^-grid_bits;
      case 'impulse'
        x(mod(shift * (points / 8 + 1), points) + 1, frame + 1) = complex(0.5, -0.25);
    end
  end

  [y, blk_exp, overflow] = f.transform(x, call{:});
  [in_re, in_im] = f.to_codes(x, 'input');
  [out_re, out_im] = f.to_codes(y, 'output');

  schedule = [];
  if strcmp(f.scaling, 'schedule') && ~f.float_mode
    schedule = d.default_schedule;
    given = find(strcmp(call(1:2:end), 'schedule'));
    if ~isempty(given)
      schedule = call{2 * given(end)};
    end
  end
  direction = 1;
  given = find(strcmp(call(1:2:end), 'inverse'));
  if ~isempty(given) && call{2 * given(end)}
    direction = 0;
  end

  records = cell(1, frames);
  for frame = 1:frames
    records{frame} = sprintf(['   {"index": %d, "nfft": %d, "points": %d, "direction": %d, "scaling_sch": [%s], ' ...
                              '"blk_exp": %d, "overflow": %d, "first_sample": %d}'], frame - 1, nfft, points, ...
                             direction, strjoin(arrayfun(@num2str, schedule, 'UniformOutput', false), ', '), ...
                             blk_exp(frame), overflow(frame), (frame - 1) * points);
  end
  names = fieldnames(f.generics);
  generics = strjoin(cellfun(@(name) sprintf('"%s": %d', name, f.generics.(name)), names', ...
                             'UniformOutput', false), ', ');
  booleans = {'false', 'true'};
  samples = frames * points;
  manifest = sprintf(['{"format": "vfft-vectors", "version": 1,\n "generics": {%s},\n "float": %s, ' ...
                      '"input_width": %d, "input_point": %d, "output_width": %d, "output_point": %d, ' ...
                      '"input_word_width": %d, "output_word_width": %d,\n' ...
                      ' "files": {"input_hex": "input.hex", "output_hex": "output.hex", ' ...
                      '"input_dec": "input.dec", "output_dec": "output.dec"},\n "frames": [\n%s\n ],\n' ...
                      ' "frame_count": %d, "sample_count_in": %d, "sample_count_out": %d}\n'], ...
                     generics, booleans{d.float_mode + 1}, d.input_width, d.input_point, d.output_width, ...
                     d.output_point, 2 * d.input_width, 2 * d.output_width, strjoin(records, sprintf(',\n')), ...
                     frames, samples, samples);

  if ~exist(dir, 'dir') && ~mkdir(dir)
    error('vfft:io', 'cannot create the directory ''%s''', dir);
  end
  write_file(fullfile(dir, 'input.hex'), hex_words(in_re(:), in_im(:), d.input_width));
  write_file(fullfile(dir, 'output.hex'), hex_words(out_re(:), out_im(:), d.output_width));
  write_file(fullfile(dir, 'input.dec'), sprintf('%d %d\n', double([in_re(:), in_im(:)])'));
  write_file(fullfile(dir, 'output.dec'), sprintf('%d %d\n', double([out_re(:), out_im(:)])'));
  write_file(fullfile(dir, 'manifest.json'), manifest);
  plural = {'s', ''};
  fprintf('%s: %d frame%s of %d points, input %d bits, output %d bits\n', dir, frames, plural{(frames == 1) + 1}, ...
          points, d.input_width, d.output_width);
end

function write_file(path, text)
  [fid, why] = fopen(path, 'w');
  if fid < 0
    error('vfft:io', 'cannot write ''%s'': %s', path, why);
  end
  fwrite(fid, text, 'char');
  fclose(fid);
end

% Lines of ceil(2W/4) lower-case hex digits holding (re << W) | im.
function text = hex_words(re, im, width)
  bits = [dec2bin(mod(double(re), 2^width), width), dec2bin(mod(double(im), 2^width), width)];
  digits = ceil(2 * width / 4);
  bits = [repmat('0', size(bits, 1), 4 * digits - 2 * width), bits] - '0';
  nibbles = reshape(bits', 4, []);
  hex = '0123456789abcdef';
  lines = reshape(hex([8 4 2 1] * nibbles + 1), digits, []);
  text = reshape([lines; repmat(sprintf('\n'), 1, size(lines, 2))], 1, []);
end

% Values count draws + 1 .. draws + count of the program's splitmix64
% stream for the seed: uniform codes of the grid of 2^bits steps per unit,
% from -1 to the largest value below 1. Draw k mixes seed + k * gamma
% (mod 2^64); the 64-bit products and sums are done in 16-bit limbs, which
% doubles hold exactly.
function v = noise(seed, draws, count, bits)
  gamma = constant('9e3779b97f4a7c15');
  k = draws + (1:count)';
  z = add(limbs(uint64(mod(seed, 2^32))), multiply([mod(k, 65536), floor(k / 65536), zeros(count, 2)], gamma));
  z = multiply(xorshift(z, 30), constant('bf58476d1ce4e5b9'));
  z = multiply(xorshift(z, 27), constant('94d049bb133111eb'));
  z = word(xorshift(z, 31));
  v = (double(bitshift(z, -(63 - bits))) - 2^bits) * 2^-bits;
end

function l = constant(hex)
  l = hex2dec({hex(13:16), hex(9:12), hex(5:8), hex(1:4)})';
end

function l = limbs(u)
  l = zeros(numel(u), 4);
  for j = 1:4
    l(:, j) = double(bitand(bitshift(u(:), -16 * (j - 1)), uint64(65535)));
  end
end

function u = word(l)
  u = bitor(bitor(uint64(l(:, 1)), bitshift(uint64(l(:, 2)), 16)), ...
            bitor(bitshift(uint64(l(:, 3)), 32), bitshift(uint64(l(:, 4)), 48)));
end

function l = xorshift(l, s)
  u = word(l);
  l = limbs(bitxor(u, bitshift(u, -s)));
end

function l = carry(r)
  l = zeros(size(r));
  c = 0;
  for j = 1:4
    t = r(:, j) + c;
    l(:, j) = mod(t, 65536);
    c = floor(t / 65536);
  end
end

function l = add(a, b)
  l = carry(a + b);
end

function l = multiply(a, b)
  r = zeros(size(a, 1), 4);
  for i = 1:4
    for j = 1:5 - i
      r(:, i + j - 1) = r(:, i + j - 1) + a(:, i) * b(j);
    end
  end
  l = carry(r);
end
