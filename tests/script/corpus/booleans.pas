program booleans;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Booléens : and, or, xor, not, comparaisons, évaluation court-circuit.
var
  a, b: Boolean;
  calls: Integer;
  p: Integer;

function B2S(v: Boolean): string;
begin
  if v then Result := 'TRUE' else Result := 'FALSE';
end;

function Trace(v: Boolean): Boolean;
begin
  Inc(calls);
  Result := v;
end;

begin
  a := True;
  b := False;
  showmessage(B2S(a) + ' ' + B2S(b));
  showmessage(B2S(a and b) + ' ' + B2S(a or b) + ' ' + B2S(a xor b) + ' ' + B2S(not a));
  showmessage(B2S(a xor a) + ' ' + B2S(not (a and b)) + ' ' + B2S(not a or b));
  showmessage(B2S(3 < 4) + ' ' + B2S(3 > 4) + ' ' + B2S(3 <= 3) + ' ' + B2S(3 >= 4) + ' ' + B2S(3 <> 4) + ' ' + B2S(3 = 3));
  calls := 0;
  if Trace(False) and Trace(True) then showmessage('jamais');
  showmessage('and court-circuit ' + IntToStr(calls));
  calls := 0;
  if Trace(True) or Trace(False) then showmessage('or court-circuit ' + IntToStr(calls));
  calls := 0;
  if Trace(True) and Trace(True) then showmessage('and complet ' + IntToStr(calls));
  calls := 0;
  if Trace(False) or Trace(False) then showmessage('jamais') else showmessage('or complet ' + IntToStr(calls));
  p := 0;
  if (p <> 0) and (10 div p > 1) then showmessage('jamais') else showmessage('division evitee');
  if (p = 0) or (10 div p > 1) then showmessage('division evitee encore');
  a := 5 > 3;
  showmessage(B2S(a));
  b := (1 = 1) = (2 = 2);
  showmessage(B2S(b));
  showmessage(B2S(False < True) + ' ' + IntToStr(Ord(True)) + ' ' + IntToStr(Ord(False)));
  a := not a;
  showmessage(B2S(a));
  if not a then showmessage('not ok');
  if a = False then showmessage('comparaison a False');
  b := (p = 0) and not a;
  showmessage(B2S(b));
end.
