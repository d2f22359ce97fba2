program recursion;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Récursion : factorielle, Fibonacci, Ackermann, Hanoï, permutations, recherche dichotomique.
var
  coups: Integer;
  trace: string;
  t: array[0..9] of Integer;
  i: Integer;

function Fact(n: Integer): Int64;
begin
  if n <= 1 then
    Result := 1
  else
    Result := n * Fact(n - 1);
end;

function Fib(n: Integer): Integer;
begin
  if n < 2 then
    Fib := n
  else
    Fib := Fib(n - 1) + Fib(n - 2);
end;

function Ack(m, n: Integer): Integer;
begin
  if m = 0 then
    Result := n + 1
  else if n = 0 then
    Result := Ack(m - 1, 1)
  else
    Result := Ack(m - 1, Ack(m, n - 1));
end;

procedure Hanoi(n: Integer; de, vers, par: Char);
begin
  if n = 0 then Exit;
  Hanoi(n - 1, de, par, vers);
  Inc(coups);
  if n = 3 then
    trace := trace + de + vers;
  Hanoi(n - 1, par, vers, de);
end;

procedure Permute(prefixe, reste: string);
var
  i: Integer;
begin
  if reste = '' then
    trace := trace + prefixe + ' '
  else
    for i := 1 to Length(reste) do
      Permute(prefixe + reste[i], Copy(reste, 1, i - 1) + Copy(reste, i + 1, Length(reste)));
end;

function Cherche(v, bas, haut: Integer): Integer;
var
  milieu: Integer;
begin
  if bas > haut then
  begin
    Result := -1;
    Exit;
  end;
  milieu := (bas + haut) div 2;
  if t[milieu] = v then
    Result := milieu
  else if t[milieu] < v then
    Result := Cherche(v, milieu + 1, haut)
  else
    Result := Cherche(v, bas, milieu - 1);
end;

function Profond(n: Integer): Integer;
begin
  if n = 0 then
    Result := 0
  else
    Result := 1 + Profond(n - 1);
end;

function Puissance(x: Double; n: Integer): Double;
begin
  if n = 0 then
    Result := 1
  else if n mod 2 = 0 then
    Result := Sqr(Puissance(x, n div 2))
  else
    Result := x * Puissance(x, n - 1);
end;

begin
  showmessage('20! = ' + IntToStr(Fact(20)));
  showmessage('fib(20) = ' + IntToStr(Fib(20)));
  showmessage('ack(2,3) = ' + IntToStr(Ack(2, 3)));
  coups := 0;
  trace := '';
  Hanoi(6, 'A', 'C', 'B');
  showmessage('hanoi ' + IntToStr(coups) + ' ' + trace);
  trace := '';
  Permute('', 'abc');
  showmessage(trace);
  for i := 0 to 9 do
    t[i] := i * 3;
  showmessage('cherche ' + IntToStr(Cherche(21, 0, 9)) + ' ' + IntToStr(Cherche(22, 0, 9)) + ' ' + IntToStr(Cherche(0, 0, 9)));
  showmessage('profondeur ' + IntToStr(Profond(5000)));
  showmessage('2^30 = ' + FloatToStr(Puissance(2, 30)));
end.
