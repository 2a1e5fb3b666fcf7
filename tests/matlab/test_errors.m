% Every error of the class, the gateway and the vector script, with its
% identifier; the library's refusals with its own text; its warnings as
% warnings with identifiers; and a state that stays usable after each.
1;

function expect_warning(fn, id)
  lastwarn('', '');
  fn();
  [text, got] = lastwarn();
  check(strcmp(got, id), 'expected warning %s, got %s: %s', id, got, text);
end

% Options of the class.
expect_error(@() vfft('bogus', 1), 'vfft:badOption', ...
             'the options are arch, nfft_max, input_width, twiddle_width, scaling, rounding, runtime_nfft, float_mode, reference');
expect_error(@() vfft('arch', 'radix8'), 'vfft:badOption', 'arch must be one of radix4, radix2, pipelined, radix2-lite');
expect_error(@() vfft('scaling', 3), 'vfft:badOption', 'scaling must be one of unscaled, schedule, bfp');
expect_error(@() vfft('nfft_max', 9.5), 'vfft:badOption', 'nfft_max must be an integer scalar');
expect_error(@() vfft('input_width', 2^31), 'vfft:badOption', 'input_width must be an integer scalar');
expect_error(@() vfft('runtime_nfft', 2), 'vfft:badOption', 'runtime_nfft must be true or false');
expect_error(@() vfft('arch'), 'vfft:badOption');
expect_error(@() vfft(7, 1), 'vfft:badOption', 'option names are character vectors, got a double');
expect_error(@() vfft(struct('C_NFFT', 9)), 'vfft:badOption', 'unknown generic ''C_NFFT''');
% The library's refusals of generics, with its text.
expect_error(@() vfft('nfft_max', 17), 'vfft:invalidGenerics', ...
             'create_state called with invalid C_NFFT_MAX generic: must be in the range 3 to 16: Value is 17');
expect_error(@() vfft('float_mode', true, 'input_width', 16), 'vfft:invalidGenerics', ...
             'create_state called with C_USE_FLT_PT = 1 and C_INPUT_WIDTH != 32: only IEEE single-precision data of 32 bits is supported.');
expect_error(@() vfft(struct('C_HAS_ROUNDING', -2^31)), 'vfft:invalidGenerics', 'Value is -2147483648');

% Data and call options.
f = vfft('arch', 'radix2', 'nfft_max', 6, 'runtime_nfft', true);
x = zeros(64, 2);
expect_error(@() f.transform(int16(x)), 'vfft:badData', 'got int16; integer codes convert with from_codes');
expect_error(@() f.transform(zeros(8, 8, 2)), 'vfft:badData', 'got a double array with 3 dimensions');
expect_error(@() f.transform(sparse(x)), 'vfft:badData');
expect_error(@() f.transform(zeros(0, 1)), 'vfft:badData', 'x has 0 samples per frame; expected 2^nfft');
expect_error(@() f.transform(x, 'inverse'), 'vfft:badOption');
expect_error(@() f.transform(x, 'direction', 0), 'vfft:badOption', 'the options are inverse, nfft, schedule');
expect_error(@() f.transform(x, 'inverse', 'yes'), 'vfft:badOption', 'inverse must be true or false');
expect_error(@() f.transform(x, 'nfft', 5.5), 'vfft:badOption', 'nfft must be an integer scalar');
expect_error(@() f.transform(x, 'schedule', [1 1 1 1 1 0.5]), 'vfft:badArgument', ...
             'schedule(6) = 0.5 is not an integer from -2147483648 to 2147483647');
expect_error(@() f.transform(x, 'schedule', ones(6, 3)), 'vfft:badArgument', ...
             'schedule has 3 columns for 2 frames: give one schedule, or one column per frame');
expect_error(@() vfft('scaling', 'bfp').transform(zeros(1024, 1), 'schedule', ones(1, 5)), 'vfft:badOption', ...
             'schedule applies to scaling ''schedule'' in fixed point only; this core is bfp');
expect_error(@() vfft('float_mode', true).transform(zeros(1024, 1), 'schedule', ones(1, 5)), 'vfft:badOption', ...
             'this core is float');
% The library's refusals of calls, with its text; the column names the frame.
bad = x;
bad(5, 2) = 1;
expect_error(@() f.transform(bad), 'vfft:simulate:xn_re_value', ...
             'column 2: simulate called with invalid real data value: xn_re[4] = 1: all values must be in the range -1.0 <= data < 1.0');
expect_error(@() f.transform(zeros(10, 1)), 'vfft:simulate:xn_re_size', ...
             'simulate called with incorrect xn_re_size input 10: must be 2^nfft = 64');
expect_error(@() f.transform(complex(zeros(8, 1), -2 * ones(8, 1))), 'vfft:simulate:xn_im_value', ...
             'simulate called with invalid imaginary data value: xn_im[0] = -2: all values must be in the range -1.0 <= data < 1.0');
expect_error(@() f.transform(zeros(128, 1)), 'vfft:simulate:nfft_out_of_range', ...
             'simulate called with nfft input 7 out of legal range 3 to C_NFFT_MAX');
expect_error(@() vfft('runtime_nfft', true).transform(zeros(32, 1)), 'vfft:simulate:nfft_out_of_range_radix4', ...
             'simulate called with nfft input 5 out of legal range 6 to C_NFFT_MAX');
expect_error(@() f.transform(x, 'schedule', ones(1, 5)), 'vfft:simulate:scaling_sch_size_per_radix2_stage', ...
             'simulate called with incorrect scaling_sch_size input 5: must be nfft = 6');
expect_error(@() vfft().transform(zeros(1024, 1), 'schedule', ones(1, 10)), ...
             'vfft:simulate:scaling_sch_size_per_radix4_stage', ...
             'simulate called with incorrect scaling_sch_size input 10: must be ceil(nfft/2) = 5');
expect_error(@() f.transform(x, 'schedule', [1 1 4 1 1 1]), 'vfft:simulate:scaling_value', ...
             'simulate called with invalid scaling value: scaling_sch[2] = 4: all values must be in the range 0 to 3');
expect_error(@() f.transform(x, 'schedule', [ones(6, 1), [1 5 1 1 1 1]']), 'vfft:simulate:scaling_value', ...
             'column 2: simulate called with invalid scaling value: scaling_sch[1] = 5');
try
  f.transform(x, 'schedule', [1 1 4 1 1 1]);
catch err
  check(isempty(strfind(err.message, 'column')), 'a refused shared schedule names a column: %s', err.message);
end
expect_error(@() vfft('nfft_max', 7).transform(zeros(128, 1), 'schedule', [2 2 2 2]), ...
             'vfft:simulate:scaling_final_stage', 'the final stage scaling value must be 0 or 1');
check(isequal(f.transform(x), zeros(64, 2)), 'the state serves calls after refusals');

% The gateway itself.
expect_error(@() vfft_mex(), 'vfft:usage');
expect_error(@() vfft_mex('fold'), 'vfft:usage', 'unknown command ''fold''; the commands are create, destroy, transform, describe, defaults, states and version');
expect_error(@() vfft_mex('transform', 1), 'vfft:usage');
expect_error(@() vfft_mex('create', 1:8), 'vfft:badArgument', 'the generics are 9 values in record order, got 8');
expect_error(@() vfft_mex('create', [10 1 0 0 16 16 1 0 NaN]), 'vfft:badArgument', 'generics(9) = nan is not an integer');
expect_error(@() vfft_mex('destroy', -1), 'vfft:badHandle', 'no vfft state has the id -1: the object was deleted or never built');
expect_error(@() vfft_mex('destroy', 'x'), 'vfft:badHandle', 'expected the numeric id of a vfft state');
id = vfft_mex('create', vfft_mex('defaults'));
expect_error(@() vfft_mex('transform', id, zeros(1024, 1), [], 2, []), 'vfft:simulate:direction', ...
             'simulate called with invalid direction input 2: must be 0 or 1');
expect_error(@() vfft_mex('transform', id, zeros(1024, 1), [], 0.5, []), 'vfft:badArgument', ...
             'direction must be an integer from -2147483648 to 2147483647, got 0.5');
expect_error(@() vfft_mex('transform', id, zeros(1024, 1), [], [1 0], []), 'vfft:badArgument', ...
             'direction must be a real scalar');
vfft_mex('destroy', id);
g = vfft();
g.delete();
expect_error(@() g.transform(zeros(1024, 1)), 'vfft:badHandle');

% Describe and the code conversions.
expect_error(@() f.describe(7), 'vfft:badArgument', 'nfft = 7 is outside 3 to C_NFFT_MAX = 6 for this core');
expect_error(@() f.to_codes(0.1), 'vfft:badData', ...
             'real part 1 = 0.10000000000000001 has no 16-bit code: expected a multiple of 2^-15 from -2^0 to 2^0 - 2^-15');
expect_error(@() f.to_codes(complex(0, 1)), 'vfft:badData', 'imaginary part 1 = 1 has no 16-bit code');
expect_error(@() vfft('float_mode', true).to_codes(0.1), 'vfft:badData', ...
             'real part 1 = 0.10000000000000001 is not exactly an IEEE single-precision value');
expect_error(@() f.from_codes(2^15, 0), 'vfft:badData', 're codes must be integers of 16 bits (-2^15 to 2^15 - 1)');
expect_error(@() f.from_codes(0, 0.5), 'vfft:badData', 'im codes must be integers of 16 bits');
expect_error(@() f.to_codes(0, 'middle'), 'vfft:badOption', 'port must be ''input'' or ''output'', got ''middle''');

% The vector script's own options.
expect_error(@() vfft_vectors(tempname(), 'frames', 0), 'vfft:badOption', 'frames must be a whole number of 1 or more');
expect_error(@() vfft_vectors(tempname(), 'stimulus', 'noise'), 'vfft:badOption', ...
             'stimulus must list random, tones and impulse');
expect_error(@() vfft_vectors(tempname(), f, 'arch', 'radix2'), 'vfft:badOption', ...
             'core options apply when no vfft object is given');
expect_error(@() vfft_vectors(tempname(), 'frames'), 'vfft:badOption');
expect_error(@() vfft_vectors('/proc/vfft', 'arch', 'radix2', 'nfft_max', 3), 'vfft:io', ...
             'cannot create the directory ''/proc/vfft''');

% The library's warnings, with identifiers; one per distinct line and call.
expect_warning(@() f.transform(repmat(0.1, 64, 3)), 'vfft:offGrid');
check(~isempty(strfind(lastwarn(), 'precision C_INPUT_WIDTH = 16 bits.  All real and imaginary data will be internally rounded')) ...
      && ~isempty(strfind(lastwarn(), '(3 times)')), 'off-grid warning text: %s', lastwarn());
expect_warning(@() vfft('nfft_max', 6, 'arch', 'radix2').transform(zeros(64, 1), 'nfft', 5), 'vfft:nfftIgnored');
h = vfft('float_mode', true, 'arch', 'radix2', 'nfft_max', 3);
tiny = complex([1e-40; zeros(7, 1)], 0);
expect_warning(@() h.transform(tiny), 'vfft:subnormal');
check(tiny(1) == 1e-40, 'the caller''s frame keeps its subnormal value');
expect_warning(@() h.transform([Inf; zeros(7, 1)]), 'vfft:invalidData');
% A warning the user turns into an error leaves the state usable.
warning('error', 'vfft:offGrid');
expect_error(@() f.transform(repmat(0.1, 64, 1)), 'vfft:offGrid');
warning('on', 'vfft:offGrid');
check(isequal(f.transform(x), zeros(64, 2)), 'the state serves calls after a warning turned error');
