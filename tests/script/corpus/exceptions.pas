program exceptions;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Exceptions : raise, try/except, on E: Exception do, E.Message, try/finally.
procedure Verifier(n: Integer);
begin
  if n < 0 then
    raise Exception.Create('valeur negative : ' + IntToStr(n));
  showmessage('valeur correcte ' + IntToStr(n));
end;

function Diviser(a, b: Integer): Integer;
begin
  if b = 0 then
    raise Exception.Create('division par zero demandee');
  Result := a div b;
end;

var
  r: Integer;
  etape: string;
begin
  try
    Verifier(3);
    Verifier(-2);
    showmessage('jamais');
  except
    on E: Exception do
      showmessage('attrapee : ' + E.Message);
  end;

  try
    r := Diviser(10, 2);
    showmessage('resultat ' + IntToStr(r));
    r := Diviser(1, 0);
    showmessage('jamais ' + IntToStr(r));
  except
    showmessage('except sans variable');
  end;

  etape := '';
  try
    etape := etape + 'corps ';
  finally
    etape := etape + 'finally';
  end;
  showmessage(etape);

  etape := '';
  try
    try
      etape := etape + 'corps ';
      raise Exception.Create('boum');
      etape := etape + 'jamais ';
    finally
      etape := etape + 'finally ';
    end;
  except
    on E: Exception do
      etape := etape + 'except(' + E.Message + ')';
  end;
  showmessage(etape);

  // Pas d'exception : la partie except est sautée.
  try
    showmessage('sans erreur');
  except
    showmessage('jamais');
  end;
  showmessage('suite');

  // Erreurs de la bibliothèque et de l'exécution attrapées comme des exceptions.
  try
    r := StrToInt('douze');
    showmessage('jamais ' + IntToStr(r));
  except
    on E: Exception do
      showmessage('conversion refusee');
  end;
  r := 0;
  try
    r := 10 div r;
    showmessage('jamais ' + IntToStr(r));
  except
    on E: Exception do
      showmessage('division entiere par zero attrapee');
  end;
  showmessage('fin');
end.
