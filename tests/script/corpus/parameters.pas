program parameters;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Paramètres par valeur, var et const ; var sur éléments de tableau et champs.
type
  TPaire = record
    A, B: Integer;
  end;

var
  x, y: Integer;
  s: string;
  t: array[1..3] of Integer;
  p: TPaire;
  d: Double;

procedure Echanger(var a, b: Integer);
var
  tmp: Integer;
begin
  tmp := a;
  a := b;
  b := tmp;
end;

procedure ParValeur(a: Integer; s: string);
begin
  a := a * 100;
  s := s + '!';
end;

procedure Completer(var s: string; const suffixe: string);
begin
  s := s + suffixe;
end;

function Longueur(const s: string): Integer;
begin
  Result := Length(s);
end;

procedure DivMod(a, b: Integer; var q, r: Integer);
begin
  q := a div b;
  r := a mod b;
end;

procedure Incrementer(var n: Integer; pas: Integer);
begin
  n := n + pas;
end;

procedure MoyenneEt(var m: Double; a, b: Integer);
begin
  m := (a + b) / 2;
end;

procedure AucunParametre;
begin
  showmessage('sans parametre');
end;

function Carre(n: Integer): Integer;
begin
  Result := n * n;
end;

procedure Alias(var a: Integer; var b: Integer);
begin
  a := a + 1;
  b := b * 10;
end;

begin
  x := 1;
  y := 2;
  Echanger(x, y);
  showmessage(IntToStr(x) + ' ' + IntToStr(y));
  s := 'texte';
  ParValeur(x, s);
  showmessage(IntToStr(x) + ' ' + s);
  Completer(s, ' complet');
  Completer(s, '.');
  showmessage(s + ' ' + IntToStr(Longueur(s)));
  DivMod(17, 5, x, y);
  showmessage('17 = 5*' + IntToStr(x) + '+' + IntToStr(y));
  t[1] := 10;
  t[2] := 20;
  t[3] := 30;
  Echanger(t[1], t[3]);
  Incrementer(t[2], 5);
  showmessage(IntToStr(t[1]) + ' ' + IntToStr(t[2]) + ' ' + IntToStr(t[3]));
  p.A := 1;
  p.B := 2;
  Echanger(p.A, p.B);
  Incrementer(p.A, Carre(3));
  showmessage(IntToStr(p.A) + ' ' + IntToStr(p.B));
  MoyenneEt(d, 3, 4);
  showmessage(FloatToStr(d));
  AucunParametre;
  AucunParametre();
  x := 5;
  Alias(x, x);
  showmessage('alias ' + IntToStr(x));
  x := 2;
  Incrementer(x, Carre(Carre(x)));
  showmessage('arguments imbriques ' + IntToStr(x));
end.
