program exitstmt;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Exit : sortie anticipée de procédures, de fonctions (Result gardé) et du programme principal.
var
  trace: string;

procedure Etapes(n: Integer);
begin
  trace := trace + 'a';
  if n < 1 then Exit;
  trace := trace + 'b';
  if n < 2 then Exit;
  trace := trace + 'c';
end;

function Premier(n: Integer): Boolean;
var
  d: Integer;
begin
  Result := False;
  if n < 2 then Exit;
  d := 2;
  while d * d <= n do
  begin
    if n mod d = 0 then Exit;
    Inc(d);
  end;
  Result := True;
end;

function IndiceDe(const s: string; c: Char): Integer;
var
  i: Integer;
begin
  for i := 1 to Length(s) do
    if s[i] = c then
    begin
      Result := i;
      Exit;
    end;
  Result := 0;
end;

function DansBoucle: Integer;
var
  i, j: Integer;
begin
  Result := 0;
  for i := 1 to 10 do
    for j := 1 to 10 do
    begin
      Result := Result + 1;
      if i * j = 12 then Exit;
    end;
end;

function AvecFinally: string;
begin
  Result := 'debut';
  try
    Result := Result + ' corps';
    Exit;
    Result := Result + ' jamais';
  finally
    trace := trace + ' finally';
  end;
end;

var
  i: Integer;
  s: string;
begin
  trace := '';
  Etapes(0);
  trace := trace + '|';
  Etapes(1);
  trace := trace + '|';
  Etapes(2);
  showmessage(trace);
  s := '';
  for i := 1 to 30 do
    if Premier(i) then s := s + IntToStr(i) + ' ';
  showmessage(s);
  showmessage(IntToStr(IndiceDe('vidorra', 'o')) + ' ' + IntToStr(IndiceDe('vidorra', 'z')));
  showmessage('boucle ' + IntToStr(DansBoucle));
  trace := '';
  s := AvecFinally;
  showmessage(s + trace);
  showmessage('avant la sortie');
  if Length(trace) > 0 then Exit;
  showmessage('jamais affiche');
end.
