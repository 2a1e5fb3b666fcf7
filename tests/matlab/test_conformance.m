% The recorded conformance cases, bit for bit through both gateways:
% refused generics (identifier and the library's text), and every call that
% a gateway can express (arrays as given, no null pointers, output arrays of
% the frame's size): results, block exponent, overflow, the library's
% warnings as warnings and its refusals as errors with their identifiers.
1;

function v = doubles(hex)
  % Doubles from their 16-digit hexadecimal bit patterns.
  if isempty(hex)
    v = zeros(0, 1);
    return;
  end
  c = char(hex);
  v = typecast(uint32(reshape([hex2dec(c(:, 9:16)), hex2dec(c(:, 1:8))]', [], 1)), 'double');
end

function lines = expected_warnings(stderr_text)
  % The library's warning lines as the gateway reports them: without the
  % prefix, each distinct line once with its count.
  lines = cell(1, 0);
  counts = [];
  for line = strsplit(stderr_text, "\n")
    if strncmp(line{1}, 'WARNING:vfft_v8_0:', 18)
      k = find(strcmp(lines, line{1}(19:end)), 1);
      if isempty(k)
        lines{end + 1} = line{1}(19:end);
        counts(end + 1) = 1;
      else
        counts(k) = counts(k) + 1;
      end
    end
  end
  for k = find(counts > 1)
    lines{k} = sprintf('%s (%d times)', lines{k}, counts(k));
  end
end

function lines = reported_warnings(text)
  lines = regexp(text, '(?m)^warning: (?:vfft_mex\w*: )?([^\n]*)', 'tokens');
  lines = cellfun(@(t) t{1}, lines, 'UniformOutput', false);
end

function ok = expressible(g, in, ex)
  scheduled = g.C_HAS_SCALING == 1 && g.C_HAS_BFP == 0 && g.C_USE_FLT_PT == 0;
  rc = ex.rc;
  ok = ~in.null_state && ~in.outputs_null && ~isempty(in.xn_re) && ...
       numel(in.xn_re) == in.xn_re_size && numel(in.xn_im) == in.xn_im_size && ...
       numel(in.xn_re) == numel(in.xn_im) && ~any(rc == [1 2 8 11 14 20 21 22 23]);
  if rc == 0 || rc >= 14
    % The gateway passes the schedule as given, an empty one as the default.
    ok = ok && (~scheduled || ~isempty(in.scaling_sch)) && numel(in.scaling_sch) == in.scaling_sch_size;
  end
end

function failures = replay(gateway, c, failures)
  g = c.generics;
  values = [g.C_NFFT_MAX, g.C_ARCH, g.C_HAS_NFFT, g.C_USE_FLT_PT, g.C_INPUT_WIDTH, g.C_TWIDDLE_WIDTH, ...
            g.C_HAS_SCALING, g.C_HAS_BFP, g.C_HAS_ROUNDING];
  where = sprintf('%s, case %s', gateway, c.id);
  if c.create_state.null
    try
      feval(gateway, 'create', values);
      failures{end + 1} = [where, ': create succeeded'];
    catch err
      text = strtrim(strrep(c.create_state.stderr, 'ERROR:vfft_v8_0:', ''));
      if ~strcmp(err.identifier, 'vfft:invalidGenerics') || isempty(strfind(err.message, text))
        failures{end + 1} = sprintf('%s: got %s "%s"', where, err.identifier, err.message);
      end
    end
    return;
  end
  id = feval(gateway, 'create', values);
  calls = c.calls;
  if isstruct(calls)
    calls = num2cell(calls);
  end
  for k = 1:numel(calls)
    in = calls{k}.inputs;
    ex = calls{k}.expected;
    if ~expressible(g, in, ex)
      continue;
    end
    here = sprintf('%s, call %d', where, k);
    failures{end + 1} = 'checked';
    x = complex(doubles(in.xn_re), doubles(in.xn_im));
    refusal = '';
    output = evalc(['try, [y, blk_exp, overflow] = feval(gateway, ''transform'', id, x, in.nfft, ' ...
                    'in.direction, double(in.scaling_sch)); catch err, refusal = err; end']);
    if ~isequal(reported_warnings(output), expected_warnings(ex.stderr))
      failures{end + 1} = sprintf('%s: warnings\n%s\nexpected\n%s', here, output, ex.stderr);
    end
    if ex.rc ~= 0
      lines = strsplit(strtrim(ex.stderr), "\n");
      text = strrep(lines{end}, 'ERROR:vfft_v8_0:', '');
      names = {'', '', '', '', '', 'nfft_out_of_range_radix4', 'nfft_out_of_range', '', 'xn_re_size', ...
               'xn_re_value', '', 'xn_im_size', 'xn_im_value', '', 'scaling_sch_size_per_radix4_stage', ...
               'scaling_sch_size_per_radix2_stage', 'scaling_value', 'scaling_final_stage', 'direction'};
      if isempty(refusal) || ~strcmp(refusal.identifier, ['vfft:simulate:', names{ex.rc}]) || ...
         isempty(strfind(refusal.message, text))
        failures{end + 1} = sprintf('%s: expected refusal %d "%s"', here, ex.rc, text);
      end
      continue;
    end
    if ~isempty(refusal)
      failures{end + 1} = sprintf('%s: refused: %s', here, refusal.message);
      continue;
    end
    n = ex.xk_re_size;
    want = complex(doubles(ex.xk_re(1:n)), doubles(ex.xk_im(1:n)));
    got = [real(y(:)), imag(y(:))];
    want = [real(want), imag(want)];
    same = typecast(got(:), 'uint64') == typecast(want(:), 'uint64');
    if ~g.C_USE_FLT_PT
      same = same | (isnan(got(:)) & isnan(want(:)));
    end
    if numel(y) ~= n || ~all(same) || blk_exp ~= ex.blk_exp || overflow ~= ex.overflow
      failures{end + 1} = sprintf('%s: %d of %d values differ; blk_exp %d (%d), overflow %d (%d)', here, ...
                                  sum(~same), 2 * n, blk_exp, ex.blk_exp, overflow, ex.overflow);
    end
  end
  feval(gateway, 'destroy', id);
end

warning('off', 'backtrace');
cases = fullfile(getenv('VFFT_TEST_SOURCE_DIR'), 'tests', 'conformance', 'data', 'cases.jsonl');
fid = fopen(cases);
records = {};
while true
  line = fgetl(fid);
  if ~ischar(line)
    break;
  end
  records{end + 1} = jsondecode(line);
end
fclose(fid);

for gateway = {'vfft_mex', 'vfft_mex_reference'}
  failures = {};
  refused = 0;
  for k = 1:numel(records)
    failures = replay(gateway{1}, records{k}, failures);
    refused = refused + records{k}.create_state.null;
  end
  checked = sum(strcmp(failures, 'checked'));
  failures = failures(~strcmp(failures, 'checked'));
  printf('%s: %d calls and %d refused configurations checked, %d failures\n', gateway{1}, checked, refused, ...
         numel(failures));
  if ~isempty(failures)
    error('test:failed', '%s', strjoin(failures(1:min(end, 10)), "\n"));
  end
  if checked < 450 || refused < 50
    error('test:failed', 'only %d calls and %d refusals were checked', checked, refused);
  end
end
