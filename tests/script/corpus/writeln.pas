program writelnprog;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Write et WriteLn : largeurs, décimales, réels, booléens, caractères.
var
  d, debit: Double;
  i, n: Integer;
  big: Int64;
  ok: Boolean;
  c: Char;
  s: string;

begin
  d := 3.14159;
  i := -42;
  big := 9876543210;
  ok := True;
  c := 'x';
  s := 'bande';
  WriteLn('Rapport');
  WriteLn('entier:', i, ' large:', i:6, '|', i:1, '|');
  WriteLn('grand ', big, ' ', big:14);
  WriteLn('reel ', d:0:2, ' ', d:8:3, ' ', -d:10:1, ' ', d:0:0);
  WriteLn(d);
  WriteLn(-d);
  WriteLn(d:12);
  WriteLn(d:3);
  WriteLn(d * 2);
  WriteLn(1234567.891:0:2);
  WriteLn(ok, ' ', not ok, ' ', ok:7);
  WriteLn(c, c:3, s:8, '|', s:2, '|');
  Write('sans fin ');
  Write(1, 2, 3);
  WriteLn;
  for n := 1 to 3 do
  begin
    debit := n * 2.5;
    Write(n:3, debit:8:2);
  end;
  WriteLn;
  WriteLn(2.5:0:0, ' ', 3.5:0:0, ' ', -2.5:0:0, ' ', 0.125:0:2, ' ', 2.675:0:2, ' ', 9.995:0:2);
  WriteLn(1.0 / 3:0:5, ' ', 100.0:0:3, ' ', 1e10:0:1);
  WriteLn(0.0:0:2, ' ', -0.001:0:2);
  showmessage('fin');
end.
