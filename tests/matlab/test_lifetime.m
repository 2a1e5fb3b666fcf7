% Lifetime of the states behind the objects: 1,000 objects created and
% deleted without growth of memory, states released by clear, clear all and
% clear mex kept safe, and a session that ends with live objects.
1;

function kb = resident_kb()
  status = fileread('/proc/self/status');
  kb = str2double(regexp(status, 'VmRSS:\s*(\d+)', 'tokens', 'once'));
end

function churn(count)
  x = zeros(1024, 1);
  for k = 1:count
    f = vfft('arch', 'pipelined', 'scaling', 'bfp');
    f.transform(x);
  end
end

churn(100);
before = resident_kb();
churn(1000);
growth = resident_kb() - before;
printf('resident memory after 1000 more objects: %+d kB\n', growth);
check(growth < 4096, 'memory grew by %d kB over 1000 objects', growth);
check(vfft_mex('states') == 0, 'states left: %d', vfft_mex('states'));

% Many live objects, released when their variable goes.
objects = cell(1, 200);
for k = 1:200
  objects{k} = vfft('nfft_max', 6);
end
check(vfft_mex('states') == 200, 'live states: %d', vfft_mex('states'));
copy = objects{1};
objects = {};
check(vfft_mex('states') == 1, 'a handle copy keeps its state: %d', vfft_mex('states'));
clear copy;
check(vfft_mex('states') == 0, 'states after clear: %d', vfft_mex('states'));

% clear mex keeps the gateway while a state lives; the object still works.
f = vfft('nfft_max', 6);
y = f.transform(zeros(64, 1));
clear mex;
check(isequal(f.transform(zeros(64, 1)), y) && vfft_mex('states') == 1, 'object after clear mex');
clear all;
check(vfft_mex('states') == 0, 'states after clear all: %d', vfft_mex('states'));
clear mex;
check(isequal(vfft('nfft_max', 6).transform(zeros(64, 1)), zeros(64, 1)), 'gateway reloaded after clear mex');

% A session that ends with live objects and gateway states ends cleanly.
octave = fullfile(OCTAVE_HOME, 'bin', 'octave-cli');
paths = sprintf('--path %s --path %s', fileparts(which('vfft')), fileparts(which('vfft_mex')));
[status, output] = system(sprintf(['%s --no-gui --no-history --norc --quiet %s --eval ' ...
                                   '"f = vfft(); id = vfft_mex(''create'', vfft_mex(''defaults'')); disp(42)"'], ...
                                  octave, paths));
check(status == 0 && strcmp(strtrim(output), '42'), 'session end with live states: %d\n%s', status, output);
