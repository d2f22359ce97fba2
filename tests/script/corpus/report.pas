program report;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Un script réel : rapport de fin de séance de capture, en une seule chaîne.
type
  TPrise = record
    Nom: string;
    Images: Integer;
    Octets: Int64;
    Perdues: Integer;
  end;

const
  ImagesParSeconde = 25;
  Ligne = '----------------------------------------';

var
  prises: array of TPrise;
  rapport: string;
  i, totalImages, totalPerdues: Integer;
  totalOctets: Int64;

procedure Ajouter(const nom: string; images: Integer; octets: Int64; perdues: Integer);
var
  n: Integer;
begin
  n := Length(prises);
  SetLength(prises, n + 1);
  prises[n].Nom := nom;
  prises[n].Images := images;
  prises[n].Octets := octets;
  prises[n].Perdues := perdues;
end;

// Code temporel hh:mm:ss:ii à partir d'un nombre d'images.
function CodeTemporel(images: Integer): string;
var
  h, m, s, f: Integer;
begin
  f := images mod ImagesParSeconde;
  s := images div ImagesParSeconde;
  m := s div 60;
  s := s mod 60;
  h := m div 60;
  m := m mod 60;
  Result := Format('%.2d:%.2d:%.2d:%.2d', [h, m, s, f]);
end;

function Taille(octets: Int64): string;
begin
  if octets >= 1024 * 1024 * 1024 then
    Result := Format('%.2f Go', [octets / (1024 * 1024 * 1024)])
  else if octets >= 1024 * 1024 then
    Result := Format('%.1f Mo', [octets / (1024 * 1024)])
  else if octets >= 1024 then
    Result := Format('%d Ko', [octets div 1024])
  else
    Result := IntToStr(octets) + ' octets';
end;

function Pluriel(n: Integer; const singulier, pluriel: string): string;
begin
  if n > 1 then
    Result := IntToStr(n) + ' ' + pluriel
  else
    Result := IntToStr(n) + ' ' + singulier;
end;

begin
  Ajouter('Mariage - entrée', 4500, 1610612736, 0);
  Ajouter('Mariage - discours', 93750, 33554432000, 3);
  Ajouter('Essai', 12, 524288, 1);
  Ajouter('Générique', 250, 900, 0);
  rapport := 'Rapport de capture' + #10 + Ligne + #10;
  totalImages := 0;
  totalPerdues := 0;
  totalOctets := 0;
  for i := 0 to High(prises) do
  begin
    rapport := rapport + Format('%-20s %s %10s', [prises[i].Nom, CodeTemporel(prises[i].Images), Taille(prises[i].Octets)]);
    if prises[i].Perdues > 0 then
      rapport := rapport + '  (' + Pluriel(prises[i].Perdues, 'image perdue', 'images perdues') + ')';
    rapport := rapport + #10;
    totalImages := totalImages + prises[i].Images;
    totalPerdues := totalPerdues + prises[i].Perdues;
    totalOctets := totalOctets + prises[i].Octets;
  end;
  rapport := rapport + Ligne + #10;
  rapport := rapport + Format('%-20s %s %10s', ['Total', CodeTemporel(totalImages), Taille(totalOctets)]) + #10;
  rapport := rapport + Pluriel(Length(prises), 'prise', 'prises') + ', ' + Pluriel(totalPerdues, 'image perdue', 'images perdues');
  rapport := rapport + Format(' (%.3f %%)', [totalPerdues * 100 / totalImages]);
  showmessage(rapport);
end.
