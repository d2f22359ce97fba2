program loops;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Boucles while et for avec break et continue, boucles imbriquées.
var
  i, j, n, total: Integer;
  s: string;
  trouve: Boolean;
begin
  i := 0;
  total := 0;
  while i < 10 do
  begin
    Inc(i);
    if Odd(i) then Continue;
    total := total + i;
  end;
  showmessage('pairs ' + IntToStr(total) + ' i=' + IntToStr(i));
  i := 0;
  while True do
  begin
    Inc(i);
    if i * i > 200 then Break;
  end;
  showmessage('premier carre > 200 : ' + IntToStr(i));
  s := '';
  for i := 1 to 20 do
  begin
    if i mod 3 = 0 then Continue;
    if i > 10 then Break;
    s := s + IntToStr(i) + ' ';
  end;
  showmessage(s);
  // break ne sort que de la boucle la plus proche
  s := '';
  for i := 1 to 4 do
  begin
    for j := 1 to 4 do
    begin
      if j > i then Break;
      s := s + IntToStr(j);
    end;
    s := s + '|';
  end;
  showmessage(s);
  // continue dans une boucle interne
  n := 0;
  for i := 1 to 5 do
    for j := 1 to 5 do
    begin
      if i = j then Continue;
      Inc(n);
    end;
  showmessage('couples ' + IntToStr(n));
  // recherche avec drapeau
  trouve := False;
  n := 0;
  i := 2;
  while (i < 100) and not trouve do
  begin
    if (i mod 7 = 0) and (i mod 5 = 0) then
    begin
      trouve := True;
      n := i;
    end;
    Inc(i);
  end;
  showmessage('ppcm ' + IntToStr(n));
  // while qui ne s'exécute jamais
  i := 5;
  while i < 0 do
    i := i - 1;
  showmessage('jamais ' + IntToStr(i));
  // Collatz
  n := 27;
  i := 0;
  while n <> 1 do
  begin
    if n mod 2 = 0 then n := n div 2 else n := 3 * n + 1;
    Inc(i);
  end;
  showmessage('collatz 27 : ' + IntToStr(i) + ' etapes');
  // break et continue dans repeat
  i := 0;
  total := 0;
  repeat
    Inc(i);
    if i = 3 then Continue;
    if i = 6 then Break;
    total := total + i;
  until i >= 10;
  showmessage('repeat ' + IntToStr(total) + ' ' + IntToStr(i));
end.
