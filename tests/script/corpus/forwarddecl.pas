program forwarddecl;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Déclarations forward : récursion croisée et appel avant la définition.
function EstPair(n: Integer): Boolean; forward;
procedure Afficher(const s: string); forward;

function EstImpair(n: Integer): Boolean;
begin
  if n = 0 then
    Result := False
  else
    Result := EstPair(n - 1);
end;

function EstPair(n: Integer): Boolean;
begin
  if n = 0 then
    Result := True
  else
    Result := EstImpair(n - 1);
end;

function Expression(var s: string): Integer; forward;

// Petit évaluateur récursif : chiffres, +, *, parenthèses.
function Facteur(var s: string): Integer;
begin
  if s[1] = '(' then
  begin
    Delete(s, 1, 1);
    Result := Expression(s);
    Delete(s, 1, 1);
  end
  else
  begin
    Result := Ord(s[1]) - Ord('0');
    Delete(s, 1, 1);
  end;
end;

function Terme(var s: string): Integer;
begin
  Result := Facteur(s);
  while (s <> '') and (s[1] = '*') do
  begin
    Delete(s, 1, 1);
    Result := Result * Facteur(s);
  end;
end;

function Expression(var s: string): Integer;
begin
  Result := Terme(s);
  while (s <> '') and (s[1] = '+') do
  begin
    Delete(s, 1, 1);
    Result := Result + Terme(s);
  end;
end;

procedure Afficher(const s: string);
begin
  showmessage('> ' + s);
end;

function Calcule(e: string): string;
var
  copie: string;
begin
  copie := e;
  Result := copie + ' = ' + IntToStr(Expression(e));
end;

var
  i: Integer;
  s: string;
begin
  s := '';
  for i := 0 to 7 do
    if EstPair(i) then s := s + 'P' else s := s + 'I';
  Afficher(s);
  Afficher(Calcule('2+3*4'));
  Afficher(Calcule('(2+3)*4'));
  Afficher(Calcule('2*(1+1+1)*(3+4)+5'));
  Afficher(Calcule('((9))'));
end.
