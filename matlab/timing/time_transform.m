% Time of f.transform on 1,000 frames of 1,024 points (default core, best of
% three) against the C batch call on the same core in the same run; the
% program time_batch measures the C side. Run with
%   cmake --build build --target octave_timing
frames = 1000;
f = vfft();
x = complex(floor(rand(1024, frames) * 2^16 - 2^15), floor(rand(1024, frames) * 2^16 - 2^15)) * 2^-15;
octave_time = Inf;
for run = 1:3
  tic;
  y = f.transform(x);
  octave_time = min(octave_time, toc);
end
[status, output] = system(sprintf('%s %d 10', getenv('VFFT_TIME_BATCH'), frames));
if status ~= 0
  error('time_batch failed: %s', output);
end
c_time = str2double(output);
printf('1000 frames of 1024 points: Octave %.1f ms, C batch call %.1f ms (%.2f times)\n', 1e3 * octave_time, ...
       1e3 * c_time, octave_time / c_time);
