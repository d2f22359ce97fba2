program resultats;
{$IFNDEF VIDORRA}
{$R+}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Ce que rend une fonction s'indexe comme une variable, bornes vérifiées ; les
// successeurs et prédécesseurs de caractères constants.
type
  TEntiers = array of Integer;

const
  Suivant = Succ('m');
  Mot = 'abc';

function Carres: TEntiers;
var
  i: Integer;
begin
  SetLength(Result, 4);
  for i := 0 to 3 do
    Result[i] := i * i + 7;
end;

function Nom: string;
begin
  Result := 'Vidorra';
end;

var
  t: TEntiers;
begin
  t := Carres;
  showmessage(IntToStr(t[2]));
  showmessage(IntToStr(Carres[2]));
  showmessage(IntToStr(Carres()[3] + Carres[1]));
  showmessage(Nom[1] + Nom()[7] + Mot[2]);
  showmessage(Succ('a') + Pred('z'));
  showmessage(Suivant);
  showmessage(IntToStr(Ord(Pred('b'))) + ' ' + IntToStr(Ord(Succ('y'))));
  try
    showmessage(IntToStr(Carres[5]));
  except
    on E: ERangeError do
      showmessage('hors bornes');
  end;
end.
