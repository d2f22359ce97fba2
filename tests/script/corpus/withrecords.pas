program withrecords;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// with sur des enregistrements, champs du résultat d'une fonction.
type
  TTimecode = record
    h, m, s, f: Integer;
  end;
  TClip = record
    Nom: string;
    Debut, Fin: TTimecode;
    Notes: array[1..2] of string;
  end;

var
  clips: array of TClip;
  c: TClip;
  i, h: Integer;

function TC(h, m, s, f: Integer): TTimecode;
begin
  with Result do
  begin
    h := 0;
    m := 0;
    s := 0;
    f := 0;
  end;
  Result.h := h;
  Result.m := m;
  Result.s := s;
  Result.f := f;
end;

function Texte(const t: TTimecode): string;
begin
  with t do
    Result := Format('%.2d:%.2d:%.2d:%.2d', [h, m, s, f]);
end;

function EnImages(const t: TTimecode): Integer;
begin
  with t do
    Result := ((h * 60 + m) * 60 + s) * 25 + f;
end;

function Premier: TClip;
begin
  Result := clips[0];
end;

begin
  SetLength(clips, 3);
  for i := 0 to High(clips) do
    with clips[i] do
    begin
      Nom := 'clip' + IntToStr(i + 1);
      Debut := TC(0, i, 10, i * 3);
      Fin := TC(0, i + 1, 5, 0);
      Notes[1] := 'bande ' + IntToStr(i);
      Notes[2] := '';
    end;
  for i := 0 to High(clips) do
    with clips[i], Debut do
      showmessage(Nom + ' ' + IntToStr(m) + 'min ' + Texte(Debut) + ' -> ' + Texte(Fin) + ' (' +
        IntToStr(EnImages(Fin) - EnImages(Debut)) + ' images) ' + Notes[1]);
  c := clips[1];
  with c do
  begin
    Nom := Nom + '-copie';
    with Fin do
      s := s + 1;
  end;
  showmessage(c.Nom + ' ' + Texte(c.Fin) + ' / ' + clips[1].Nom + ' ' + Texte(clips[1].Fin));
  // Le champ d'un résultat de fonction, sans variable intermédiaire.
  showmessage(Premier().Nom + ' ' + IntToStr(Premier().Debut.s) + ' ' + IntToStr(TC(1, 2, 3, 4).m) +
    ' ' + Texte(TC(10, 0, 0, 24)) + ' ' + Premier().Notes[1]);
  h := 99;
  with TC(5, 6, 7, 8) do
    showmessage(IntToStr(h) + ':' + IntToStr(m));
  showmessage(IntToStr(h));
end.
