program fib;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Appels de fonction : Fibonacci récursif de 27.
function Fib(n: Integer): Integer;
begin
  if n < 2 then
    Result := n
  else
    Result := Fib(n - 1) + Fib(n - 2);
end;

begin
  showmessage('fib(27) = ' + IntToStr(Fib(27)));
end.
