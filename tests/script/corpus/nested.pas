program nested;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Routines imbriquées : accès aux variables et paramètres des routines englobantes.
var
  global: Integer;

function Compter(const s: string; c: Char): Integer;
var
  i: Integer;

  procedure Compte;
  begin
    Inc(Result);
  end;

begin
  Result := 0;
  for i := 1 to Length(s) do
    if s[i] = c then Compte;
end;

procedure Externe(n: Integer);
var
  total: Integer;
  trace: string;

  procedure Ajoute(v: Integer);
  begin
    total := total + v;
    trace := trace + IntToStr(v) + ' ';
  end;

  function Niveau2(k: Integer): Integer;

    function Niveau3: Integer;
    begin
      Result := k * 100 + n + global;
    end;

  begin
    Ajoute(k);
    Result := Niveau3;
  end;

begin
  total := 0;
  trace := '';
  Ajoute(n);
  Ajoute(n * 2);
  showmessage('niveau2 ' + IntToStr(Niveau2(7)));
  showmessage('total ' + IntToStr(total) + ' trace ' + trace);
end;

function SommeRecursiveInterne(n: Integer): Integer;
var
  acc: Integer;

  procedure Parcourt(k: Integer);
  begin
    if k = 0 then Exit;
    acc := acc + k;
    Parcourt(k - 1);
  end;

begin
  acc := 0;
  Parcourt(n);
  Result := acc;
end;

procedure Masquage;
var
  global: Integer;

  procedure Interne;
  var
    global: string;
  begin
    global := 'chaine locale';
    showmessage(global);
  end;

begin
  global := 5;
  Interne;
  showmessage('masquage ' + IntToStr(global));
end;

function Fabrique(base: Integer): Integer;
var
  x: Integer;

  procedure Modifie(var v: Integer);
  begin
    v := v + base;
  end;

begin
  x := 1;
  Modifie(x);
  Modifie(x);
  Result := x;
end;

begin
  global := 1000;
  showmessage('compter ' + IntToStr(Compter('abracadabra', 'a')));
  Externe(3);
  showmessage('somme ' + IntToStr(SommeRecursiveInterne(10)));
  Masquage;
  showmessage('global ' + IntToStr(global));
  showmessage('fabrique ' + IntToStr(Fabrique(20)));
end.
