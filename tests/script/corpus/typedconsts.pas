program typedconsts;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Constantes typées et variables initialisées : tables de noms, réglages par défaut.
type
  TFormat = (fmtDV, fmtAVI, fmtDivX, fmtWAV);
  TReglage = record
    Nom: string;
    Largeur, Hauteur: Integer;
    Ips: Double;
  end;

const
  Mois: array[1..12] of string = ('janvier', 'février', 'mars', 'avril', 'mai', 'juin',
    'juillet', 'août', 'septembre', 'octobre', 'novembre', 'décembre');
  Extensions: array[TFormat] of string = ('.avi', '.avi', '.avi', '.wav');
  Libelles: array[TFormat] of string = ('DV', 'AVI', 'DivX', 'WAV');
  Grille: array[0..1, 0..2] of Integer = ((1, 2, 3), (4, 5, 6));
  PAL: TReglage = (Nom: 'PAL'; Largeur: 720; Hauteur: 576; Ips: 25.0);
  Tailles: array[0..2] of TReglage = (
    (Nom: 'PAL'; Largeur: 720; Hauteur: 576; Ips: 25),
    (Nom: 'NTSC'; Largeur: 720; Hauteur: 480; Ips: 29.97),
    (Nom: 'VGA'; Largeur: 640; Hauteur: 480; Ips: 30));
  Seuil: Integer = 40;
  Prefixe: string = 'capture';
  Separateur: Char = '_';
  Marge: Double = 1.5;

var
  Compteur: Integer = 7;
  Dossier: string = '/home/moi/videos';
  Actif: Boolean = True;
  i, j, total: Integer;
  f: TFormat;

function NomDeFichier(n: Integer): string;
const
  Chiffres: array[0..9] of Char = ('0', '1', '2', '3', '4', '5', '6', '7', '8', '9');
var
  reste: Integer;
begin
  Result := '';
  reste := n;
  repeat
    Result := Chiffres[reste mod 10] + Result;
    reste := reste div 10;
  until reste = 0;
  while Length(Result) < 4 do
    Result := '0' + Result;
  Result := Prefixe + Separateur + Result;
end;

function Aire(const r: TReglage): Integer;
begin
  Result := r.Largeur * r.Hauteur;
end;

begin
  showmessage(Mois[1] + ', ' + Mois[8] + ', ' + Mois[12]);
  for f := Low(TFormat) to High(TFormat) do
    showmessage(Libelles[f] + ' -> ' + Extensions[f]);
  total := 0;
  for i := 0 to 1 do
    for j := 0 to 2 do
      total := total + Grille[i, j] * (i + 1);
  showmessage('grille ' + IntToStr(total) + ' ' + IntToStr(Grille[1][2]));
  showmessage(PAL.Nom + ' ' + IntToStr(PAL.Largeur) + 'x' + IntToStr(PAL.Hauteur) + ' ' +
    FloatToStr(PAL.Ips));
  for i := Low(Tailles) to High(Tailles) do
    showmessage(Tailles[i].Nom + ' ' + IntToStr(Aire(Tailles[i])) + ' ' +
      FloatToStr(Tailles[i].Ips));
  showmessage(IntToStr(Seuil * 2) + ' ' + FloatToStr(Marge * 2));
  showmessage(NomDeFichier(Compteur) + ' ' + NomDeFichier(1234) + ' ' + NomDeFichier(0));
  Inc(Compteur);
  Dossier := Dossier + '/' + NomDeFichier(Compteur) + Extensions[fmtDivX];
  showmessage(Dossier);
  if Actif then
    showmessage('actif');
  // Un caractère d'une chaîne constante, d'un résultat de fonction.
  showmessage(Prefixe[1] + Mois[2][2] + UpperCase(Prefixe)[3] + NomDeFichier(42)[9]);
end.
