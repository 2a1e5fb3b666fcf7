function check(condition, varargin)
% CHECK  Fails the test with the message varargin (as for sprintf) unless condition holds.
  if ~condition
    error('test:failed', varargin{:});
  end
end
