program records;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Enregistrements : champs, imbrication, copie par valeur, tableaux d'enregistrements.
type
  TPoint = record
    X, Y: Integer;
  end;

  TSegment = record
    A, B: TPoint;
    Nom: string;
  end;

  TClip = record
    Titre: string;
    Duree: Double;
    Images: Int64;
    Actif: Boolean;
    Marques: array[1..3] of Integer;
  end;

var
  p, q: TPoint;
  seg: TSegment;
  clips: array[1..3] of TClip;
  liste: array of TPoint;
  c: TClip;
  i: Integer;
  total: Double;

function Point(x, y: Integer): TPoint;
begin
  Result.X := x;
  Result.Y := y;
end;

function PointStr(const p: TPoint): string;
begin
  Result := '(' + IntToStr(p.X) + ';' + IntToStr(p.Y) + ')';
end;

procedure Deplacer(var p: TPoint; dx, dy: Integer);
begin
  p.X := p.X + dx;
  p.Y := p.Y + dy;
end;

procedure EssaiValeur(p: TPoint);
begin
  p.X := -1;
end;

begin
  p.X := 3;
  p.Y := 4;
  q := p;
  q.X := 30;
  showmessage(PointStr(p) + ' ' + PointStr(q));
  Deplacer(p, 10, 20);
  showmessage('deplace ' + PointStr(p));
  EssaiValeur(p);
  showmessage('valeur ' + PointStr(p));
  seg.A := Point(0, 0);
  seg.B := Point(6, 8);
  seg.Nom := 'diagonale';
  Deplacer(seg.B, 1, 1);
  showmessage(seg.Nom + ' ' + PointStr(seg.A) + '-' + PointStr(seg.B) + ' dx=' + IntToStr(seg.B.X - seg.A.X));
  for i := 1 to 3 do
  begin
    clips[i].Titre := 'clip' + IntToStr(i);
    clips[i].Duree := i * 1.5;
    clips[i].Images := i * 25;
    clips[i].Actif := Odd(i);
    clips[i].Marques[1] := i;
    clips[i].Marques[2] := i * 2;
    clips[i].Marques[3] := i * 3;
  end;
  total := 0;
  for i := 1 to 3 do
    if clips[i].Actif then
      total := total + clips[i].Duree;
  showmessage('duree active ' + FloatToStr(total));
  c := clips[2];
  c.Titre := 'copie';
  c.Marques[1] := 77;
  showmessage(clips[2].Titre + ' ' + IntToStr(clips[2].Marques[1]) + ' ' + c.Titre + ' ' + IntToStr(c.Marques[1]));
  showmessage(IntToStr(clips[3].Images) + ' ' + IntToStr(clips[3].Marques[3]));
  SetLength(liste, 3);
  for i := 0 to 2 do
    liste[i] := Point(i, -i);
  liste[1].Y := 100;
  showmessage(PointStr(liste[0]) + PointStr(liste[1]) + PointStr(liste[2]));
end.
