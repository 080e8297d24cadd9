<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r><xsl:apply-templates select="//title|//para"/></r></xsl:template>
<xsl:template match="chapter/title"><c n="{count(../preceding-sibling::chapter)+1}"><xsl:number count="chapter" format="I"/>|<xsl:number level="multiple" count="chapter" format="1."/></c></xsl:template>
<xsl:template match="section/title"><s><xsl:number level="multiple" count="chapter|section" format="1.a"/>|<xsl:number count="section" format="(i)"/></s></xsl:template>
<xsl:template match="para"><p><xsl:number level="any" format="01"/>|<xsl:number level="any" from="chapter" format="A"/>|<xsl:number level="single" format="a"/></p></xsl:template>
</xsl:stylesheet>
