classdef vfft < handle
  % VFFT  Bit-accurate model of the vfft hardware FFT core.
  %
  %   f = vfft('arch', 'radix4', 'nfft_max', 10, 'scaling', 'schedule')
  %   [y, blk_exp, overflow, scale] = f.transform(x)
  %
  % Options, with the words of the command-line program and the Python
  % package (defaults in brackets):
  %   arch           'radix4' | 'radix2' | 'pipelined' | 'radix2-lite'  ['radix4']
  %   nfft_max       log2 of the largest length, 3..16                  [10]
  %   input_width    input sample width in bits, 8..34             [16; 32 float]
  %   twiddle_width  twiddle width in bits, 8..34                       [16]
  %   scaling        'unscaled' | 'schedule' | 'bfp'                    ['schedule']
  %   rounding       'truncate' | 'convergent'                          ['truncate']
  %   runtime_nfft   true: each call may choose its length              [false]
  %   float_mode     true: IEEE single-precision data                   [false]
  %   reference      true: the reference datapath (same results)        [false]
  % vfft(g) takes a struct of generics by name (C_NFFT_MAX, C_ARCH, ...);
  % the ones left out keep their defaults.
  %
  % x is a complex (or real) column, or a matrix with one frame per column as
  % fft takes it. Fixed-point values lie in -1 <= v < 1, on the grid of
  % input_width bits (off-grid values are rounded, with warning vfft:offGrid).
  % The object releases its state when it is deleted or cleared.
  %
  % See also VFFT/TRANSFORM, VFFT/DESCRIBE, VFFT/TO_CODES, VFFT/FROM_CODES.

  properties (SetAccess = private)
    generics   % the nine generics as a struct
    reference  % true when the reference datapath runs
  end

  properties (Dependent)
    arch
    nfft_max
    input_width
    twiddle_width
    scaling
    rounding
    runtime_nfft
    float_mode
    input_point    % fraction bits of an input code (0 in floating point)
    output_width   % bits of an output code
    output_point   % fraction bits of an output code (0 in floating point)
  end

  properties (Access = private)
    id = [];
    gateway = 'vfft_mex';
  end

  properties (Constant, Access = private)
    names = {'C_NFFT_MAX', 'C_ARCH', 'C_HAS_NFFT', 'C_USE_FLT_PT', 'C_INPUT_WIDTH', ...
             'C_TWIDDLE_WIDTH', 'C_HAS_SCALING', 'C_HAS_BFP', 'C_HAS_ROUNDING'};
    archs = {'radix4', 'radix2', 'pipelined', 'radix2-lite'};
    scalings = {'unscaled', 'schedule', 'bfp'};
    roundings = {'truncate', 'convergent'};
  end

  methods
    function obj = vfft(varargin)
      g = cell2struct(num2cell(vfft_mex('defaults')), vfft.names, 2);
      if nargin == 1 && isstruct(varargin{1})
        given = varargin{1};
        for name = fieldnames(given)'
          if ~any(strcmp(name{1}, vfft.names))
            error('vfft:badOption', 'unknown generic ''%s''; the generics are %s', name{1}, ...
                  strjoin(vfft.names, ', '));
          end
          g.(name{1}) = vfft.integer(given.(name{1}), name{1});
        end
      else
        [g, obj.reference] = vfft.options(g, varargin);
      end
      if obj.reference
        obj.gateway = 'vfft_mex_reference';
      end
      obj.generics = g;
      obj.id = feval(obj.gateway, 'create', cellfun(@(n) g.(n), vfft.names));
    end

    function delete(obj)
      if ~isempty(obj.id)
        try
          feval(obj.gateway, 'destroy', obj.id);
        catch
          % The gateway released every state already (the session ends).
        end
        obj.id = [];
      end
    end

    function [y, blk_exp, overflow, scale] = transform(obj, x, varargin)
      % TRANSFORM  Transforms x, one frame per column (or one row vector).
      %   [y, blk_exp, overflow, scale] = f.transform(x, 'inverse', true,
      %                                               'nfft', n, 'schedule', s)
      % y has the shape of x; blk_exp and overflow hold one value per frame;
      % scale is the factor between y and the double-precision DFT:
      % y ~ scale .* fft(x) (forward), 2^-sum(schedule) when scheduled,
      % 2^-blk_exp with block floating point, 1 unscaled and in floating point.
      % The inverse has no 1/N. nfft defaults to log2 of the frame length on a
      % run-time length core, else nfft_max; the schedule to describe(nfft)'s
      % default_schedule (one bit per radix-2 stage, two per radix-4 stage),
      % and may be a matrix with one column per frame.
      inverse = false;
      nfft = [];
      schedule = [];
      if mod(numel(varargin), 2) ~= 0
        error('vfft:badOption', 'transform takes x and then name-value pairs: inverse, nfft, schedule');
      end
      for k = 1:2:numel(varargin)
        name = varargin{k};
        value = varargin{k + 1};
        switch vfft.word(name)
          case 'inverse'
            inverse = vfft.flag(value, 'inverse');
          case 'nfft'
            nfft = vfft.integer(value, 'nfft');
          case 'schedule'
            schedule = value;
          otherwise
            error('vfft:badOption', 'unknown transform option ''%s''; the options are inverse, nfft, schedule', ...
                  vfft.word(name));
        end
      end
      if isa(x, 'single')
        x = double(x);
      elseif ~isa(x, 'double')
        error('vfft:badData', ['x must be a double (or single) array of sample values, got %s; ' ...
              'integer codes convert with from_codes'], class(x));
      end
      if ~isempty(schedule) && ~strcmp(obj.scaling_mode(), 'schedule')
        error('vfft:badOption', ['schedule applies to scaling ''schedule'' in fixed point only; ' ...
              'this core is %s'], obj.scaling_mode());
      end
      [y, blk_exp, overflow] = feval(obj.gateway, 'transform', obj.id, x, nfft, double(~inverse), ...
                                     double(schedule));
      if nargout > 3
        switch obj.scaling_mode()
          case 'bfp'
            scale = pow2(-blk_exp);
          case 'schedule'
            if isempty(schedule) && ~isempty(blk_exp)
              % A call that ran had 2^nfft points per frame.
              schedule = obj.describe(log2(numel(y) / numel(blk_exp))).default_schedule;
            end
            if isvector(schedule)
              scale = pow2(-sum(schedule)) * ones(size(blk_exp));
            else
              scale = pow2(-sum(schedule, 1));
            end
          otherwise
            scale = ones(size(blk_exp));
        end
      end
    end

    function d = describe(obj, nfft)
      % DESCRIBE  The rules of this core at length 2^nfft (default nfft_max):
      % nfft_min, nfft_max, stages, schedule_max, default_schedule,
      % float_mode, input_width, input_point, output_width, output_point,
      % has_blk_exp, has_overflow.
      if nargin < 2
        nfft = [];
      end
      d = feval(obj.gateway, 'describe', obj.id, nfft);
    end

    function [re, im] = to_codes(obj, y, port)
      % TO_CODES  Two's-complement codes (int64) of values at a port of the
      % core, 'output' (default) or 'input': a code c stands for
      % c / 2^point. In floating point the code is the IEEE single bit
      % pattern read as a signed 32-bit integer. Values that are not exactly
      % codes are an error (vfft:badData).
      if nargin < 3
        port = 'output';
      end
      [width, point] = obj.port(port);
      re = vfft.codes(real(y), width, point, obj.float_mode, 'real');
      im = vfft.codes(imag(y), width, point, obj.float_mode, 'imaginary');
    end

    function y = from_codes(obj, re, im, port)
      % FROM_CODES  Values of codes at a port ('output' default, or 'input'):
      % complex(re / 2^point, im / 2^point), or the singles of bit patterns.
      if nargin < 4
        port = 'output';
      end
      [width, point] = obj.port(port);
      y = complex(vfft.values(re, width, point, obj.float_mode, 're'), ...
                  vfft.values(im, width, point, obj.float_mode, 'im'));
    end

    function v = get.arch(obj)
      v = vfft.archs{obj.generics.C_ARCH};
    end
    function v = get.nfft_max(obj)
      v = obj.generics.C_NFFT_MAX;
    end
    function v = get.input_width(obj)
      v = obj.generics.C_INPUT_WIDTH;
    end
    function v = get.twiddle_width(obj)
      v = obj.generics.C_TWIDDLE_WIDTH;
    end
    function v = get.scaling(obj)
      v = vfft.scalings{1 + obj.generics.C_HAS_SCALING + obj.generics.C_HAS_BFP};
    end
    function v = get.rounding(obj)
      v = vfft.roundings{1 + obj.generics.C_HAS_ROUNDING};
    end
    function v = get.runtime_nfft(obj)
      v = obj.generics.C_HAS_NFFT == 1;
    end
    function v = get.float_mode(obj)
      v = obj.generics.C_USE_FLT_PT == 1;
    end
    function v = get.input_point(obj)
      v = obj.describe().input_point;
    end
    function v = get.output_width(obj)
      v = obj.describe().output_width;
    end
    function v = get.output_point(obj)
      v = obj.describe().output_point;
    end

    function disp(obj)
      if obj.float_mode
        data = 'single-precision data';
      else
        data = sprintf('%d-bit input, %d-bit output', obj.input_width, obj.output_width);
      end
      lengths = '';
      if obj.runtime_nfft
        lengths = ' (run-time length)';
      end
      fprintf('  vfft: %s, %d points%s, %s, %d-bit twiddles, %s, %s\n', obj.arch, 2^obj.nfft_max, lengths, ...
             data, obj.twiddle_width, obj.scaling, obj.rounding);
    end
  end

  methods (Static)
    function [version, datapath] = version(reference)
      % VERSION  The library's version and datapath ('native AVX2', 'reference', ...).
      gateway = 'vfft_mex';
      if nargin > 0 && reference
        gateway = 'vfft_mex_reference';
      end
      [version, datapath] = feval(gateway, 'version');
    end
  end

  methods (Access = private)
    function s = scaling_mode(obj)
      % The scaling a call sees: floating point takes no schedule.
      s = obj.scaling;
      if obj.float_mode
        s = 'float';
      end
    end

    function [width, point] = port(obj, name)
      d = obj.describe();
      switch vfft.word(name)
        case 'input'
          width = d.input_width;
          point = d.input_point;
        case 'output'
          width = d.output_width;
          point = d.output_point;
        otherwise
          error('vfft:badOption', 'port must be ''input'' or ''output'', got ''%s''', vfft.word(name));
      end
    end
  end

  methods (Static, Access = private)
    function [g, reference] = options(g, args)
      reference = false;
      if mod(numel(args), 2) ~= 0
        error('vfft:badOption', ['vfft takes name-value pairs (arch, nfft_max, input_width, twiddle_width, ' ...
              'scaling, rounding, runtime_nfft, float_mode, reference) or a struct of generics']);
      end
      input_width = [];
      for k = 1:2:numel(args)
        value = args{k + 1};
        switch vfft.word(args{k})
          case 'arch'
            g.C_ARCH = vfft.choose(value, vfft.archs, 'arch');
          case 'nfft_max'
            g.C_NFFT_MAX = vfft.integer(value, 'nfft_max');
          case 'input_width'
            input_width = vfft.integer(value, 'input_width');
          case 'twiddle_width'
            g.C_TWIDDLE_WIDTH = vfft.integer(value, 'twiddle_width');
          case 'scaling'
            s = vfft.choose(value, vfft.scalings, 'scaling');
            g.C_HAS_SCALING = double(s > 1);
            g.C_HAS_BFP = double(s == 3);
          case 'rounding'
            g.C_HAS_ROUNDING = vfft.choose(value, vfft.roundings, 'rounding') - 1;
          case 'runtime_nfft'
            g.C_HAS_NFFT = double(vfft.flag(value, 'runtime_nfft'));
          case 'float_mode'
            g.C_USE_FLT_PT = double(vfft.flag(value, 'float_mode'));
          case 'reference'
            reference = vfft.flag(value, 'reference');
          otherwise
            error('vfft:badOption', ['unknown option ''%s''; the options are arch, nfft_max, input_width, ' ...
                  'twiddle_width, scaling, rounding, runtime_nfft, float_mode, reference'], vfft.word(args{k}));
        end
      end
      if isempty(input_width)
        input_width = 16 + 16 * g.C_USE_FLT_PT;
      end
      g.C_INPUT_WIDTH = input_width;
    end

    function w = word(name)
      if ~(ischar(name) && isrow(name))
        error('vfft:badOption', 'option names are character vectors, got a %s', class(name));
      end
      w = name;
    end

    function k = choose(value, words, what)
      k = find(strcmp(value, words));
      if ~ischar(value) || isempty(k)
        error('vfft:badOption', '%s must be one of %s', what, strjoin(words, ', '));
      end
    end

    function v = integer(value, what)
      if ~(isnumeric(value) && isreal(value) && isscalar(value) && value == round(value) && value >= -2^31 && value < 2^31)
        error('vfft:badOption', '%s must be an integer scalar', what);
      end
      v = double(value);
    end

    function v = flag(value, what)
      if ~((islogical(value) || isnumeric(value)) && isscalar(value) && (value == 0 || value == 1))
        error('vfft:badOption', '%s must be true or false', what);
      end
      v = logical(value);
    end

    function c = codes(v, width, point, single_data, part)
      if single_data
        bad = find(double(single(v)) ~= v & ~isnan(v), 1);
        if ~isempty(bad)
          error('vfft:badData', '%s part %d = %.17g is not exactly an IEEE single-precision value', part, ...
                bad, v(bad));
        end
        c = int64(typecast(single(v(:)), 'int32'));
      else
        scaled = v(:) * 2^point;
        bad = find(~(scaled == floor(scaled) & abs(scaled + 0.5) <= 2^(width - 1)), 1);
        if ~isempty(bad)
          error('vfft:badData', ['%s part %d = %.17g has no %d-bit code: expected a multiple of 2^-%d ' ...
                'from -2^%d to 2^%d - 2^-%d'], part, bad, v(bad), width, point, width - 1 - point, ...
                width - 1 - point, point);
        end
        c = int64(scaled);
      end
      c = reshape(c, size(v));
    end

    function v = values(c, width, point, single_data, part)
      if ~(isnumeric(c) && isreal(c)) || any(c(:) ~= round(c(:))) || any(abs(double(c(:)) + 0.5) > 2^(width - 1))
        error('vfft:badData', '%s codes must be integers of %d bits (-2^%d to 2^%d - 1)', part, width, ...
              width - 1, width - 1);
      end
      if single_data
        v = double(typecast(int32(c(:)), 'single'));
      else
        v = double(c(:)) * 2^-point;
      end
      v = reshape(v, size(c));
    end
  end
end
