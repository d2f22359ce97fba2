program forloops;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// for to / downto : bornes évaluées une fois, intervalles vides, pas négatif.
var
  i, j, n, haut: Integer;
  s: string;
  b: Byte;
  c: Char;
begin
  s := '';
  for i := 10 downto 1 do
    s := s + IntToStr(i) + ' ';
  showmessage(s);
  s := '';
  for i := 3 downto -3 do
    s := s + IntToStr(i) + ',';
  showmessage(s);
  n := 0;
  for i := 1 to 0 do
    Inc(n);
  for i := 0 downto 1 do
    Inc(n);
  showmessage('intervalles vides ' + IntToStr(n));
  n := 0;
  for i := 5 to 5 do
    Inc(n);
  for i := 5 downto 5 do
    Inc(n);
  showmessage('un seul tour ' + IntToStr(n));
  // la borne est calculée une seule fois
  haut := 3;
  n := 0;
  for i := 1 to haut do
  begin
    haut := 10;
    Inc(n);
  end;
  showmessage('tours ' + IntToStr(n) + ' haut ' + IntToStr(haut));
  // triangle descendant
  for i := 4 downto 1 do
  begin
    s := '';
    for j := 1 to i do
      s := s + '*';
    showmessage(s);
  end;
  // bornes extrêmes d'un Byte
  n := 0;
  for b := 255 downto 250 do
    n := n + b;
  showmessage('byte ' + IntToStr(n));
  n := 0;
  for b := 0 to 255 do
    Inc(n);
  showmessage('byte complet ' + IntToStr(n));
  s := '';
  for c := 'z' downto 'u' do
    s := s + c;
  showmessage(s);
  // bornes expressions
  n := 0;
  for i := 2 * 3 downto 10 div 5 do
    n := n * 10 + i;
  showmessage(IntToStr(n));
  // factorielle
  n := 1;
  for i := 10 downto 2 do
    n := n * i;
  showmessage('10! = ' + IntToStr(n));
end.
