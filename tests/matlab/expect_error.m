function expect_error(fn, id, text)
% EXPECT_ERROR  fn() must fail with identifier id and, when text is given,
% a message that contains text.
  try
    fn();
  catch err
    if ~strcmp(err.identifier, id)
      error('test:failed', 'expected error %s, got %s: %s', id, err.identifier, err.message);
    end
    if nargin > 2 && isempty(strfind(err.message, text))
      error('test:failed', 'error %s: expected the message to contain\n  %s\ngot\n  %s', id, text, err.message);
    end
    return;
  end
  error('test:failed', 'expected error %s, but the call succeeded', id);
end
