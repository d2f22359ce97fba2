program exceptions2;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Exceptions imbriquées, relance, propagation à travers les appels et les finally.
var
  journal: string;

procedure Note(const s: string);
begin
  journal := journal + s + ';';
end;

procedure Niveau3;
begin
  Note('n3');
  raise Exception.Create('depuis niveau3');
end;

procedure Niveau2;
begin
  try
    Note('n2 debut');
    Niveau3;
    Note('n2 jamais');
  finally
    Note('n2 finally');
  end;
end;

procedure Niveau1;
begin
  try
    Niveau2;
  except
    on E: Exception do
    begin
      Note('n1 attrape ' + E.Message);
      raise;
    end;
  end;
end;

function Essai(n: Integer): string;
begin
  Result := 'ok';
  try
    if n = 1 then raise Exception.Create('un');
    if n = 2 then raise Exception.Create('deux');
  except
    on E: Exception do
      if E.Message = 'un' then
        Result := 'traite ' + E.Message
      else
        raise;
  end;
end;

var
  i: Integer;
  s: string;
begin
  journal := '';
  try
    Niveau1;
  except
    on E: Exception do
      Note('principal ' + E.Message);
  end;
  showmessage(journal);

  s := '';
  for i := 0 to 2 do
    try
      s := s + Essai(i) + ' / ';
    except
      on E: Exception do
        s := s + 'relancee ' + E.Message + ' / ';
    end;
  showmessage(s);

  // Exception levée dans un except : la nouvelle remplace l'ancienne.
  try
    try
      raise Exception.Create('premiere');
    except
      on E: Exception do
        raise Exception.Create('seconde apres ' + E.Message);
    end;
  except
    on E: Exception do
      showmessage(E.Message);
  end;

  // finally imbriqués : ordre de sortie.
  journal := '';
  try
    try
      try
        Note('a');
        raise Exception.Create('x');
      finally
        Note('f1');
      end;
    finally
      Note('f2');
    end;
  except
    Note('e');
  end;
  showmessage(journal);

  // Break et Continue à travers un finally.
  journal := '';
  for i := 1 to 5 do
  begin
    try
      if i = 2 then Continue;
      if i = 4 then Break;
      Note('corps' + IntToStr(i));
    finally
      Note('fin' + IntToStr(i));
    end;
  end;
  showmessage(journal);

  // Exception dans une boucle, la boucle continue.
  s := '';
  for i := 1 to 4 do
    try
      if i mod 2 = 0 then
        raise Exception.Create('pair ' + IntToStr(i));
      s := s + 'impair ' + IntToStr(i) + ', ';
    except
      on E: Exception do
        s := s + E.Message + ', ';
    end;
  showmessage(s);
end.
